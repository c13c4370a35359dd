#include "profiles/EditHistory.h"

#include "profiles/ProfileFile.h"

#include <string>

namespace tarvik::profiles {

namespace {

bool sameText(const TextSlot& a, const TextSlot& b) {
    return a.size == b.size && a.text == b.text;
}

void putText(WorkingCopy& working, size_t index, const TextSlot& text) {
    if (text.size > 0) {
        working.attachText(index, text.text);
    } else {
        working.releaseText(index);
    }
}

} // namespace

WorkingSnapshot WorkingSnapshot::of(const WorkingCopy& working) {
    WorkingSnapshot s;
    s.records.assign(working.records().begin(), working.records().end());
    s.texts.reserve(kRecordCount);
    for (size_t i = 0; i < kRecordCount; ++i) {
        s.texts.push_back(working.text(i));
    }
    s.macros = working.macros();
    return s;
}

Edit Edit::between(const WorkingSnapshot& before, const WorkingCopy& after) {
    Edit e;
    for (size_t i = 0; i < kRecordCount; ++i) {
        const keyboard::KeyAssignment& now = after.records()[i];
        if (before.records[i] != now || !sameText(before.texts[i], after.text(i))) {
            e.records_.push_back(Record{i, before.records[i], now, before.texts[i], after.text(i)});
        }
    }
    if (before.macros != after.macros()) {
        e.macros_ = Macros{before.macros, after.macros()};
    }
    return e;
}

Edit Edit::outside(std::function<void(bool forward)> restore) {
    Edit e;
    e.outside_ = std::move(restore);
    return e;
}

bool Edit::restore(WorkingCopy& working, bool forward) const {
    if (outside_) {
        outside_(forward);
    }
    bool changed = false;
    for (const Record& r : records_) {
        const keyboard::KeyAssignment& from = forward ? r.before : r.after;
        const TextSlot& fromText = forward ? r.textBefore : r.textAfter;
        if (working.records()[r.index] != from || !sameText(working.text(r.index), fromText)) {
            continue; // changed since by someone else: theirs stays
        }
        working.setRecord(r.index, forward ? r.after : r.before);
        putText(working, r.index, forward ? r.textAfter : r.textBefore);
        changed = true;
    }
    if (macros_ && working.macros() == (forward ? macros_->before : macros_->after)) {
        working.macros() = forward ? macros_->after : macros_->before;
        changed = true;
    }
    return changed;
}

bool EditHistory::edit(const std::function<void(WorkingCopy&)>& change) {
    auto lock = store_.lockKeyData();
    const WorkingSnapshot before = WorkingSnapshot::of(store_.working());
    change(store_.working());
    Edit step = Edit::between(before, store_.working());
    if (step.empty()) {
        return false;
    }
    push(std::move(step));
    return true;
}

Edit EditHistory::stepSince(AssignmentStore& store, const WorkingSnapshot& before) {
    auto lock = store.lockKeyData();
    return Edit::between(before, store.working());
}

void EditHistory::push(Edit step) {
    if (step.empty()) {
        return;
    }
    undone_.clear();
    done_.push_back(std::move(step));
    if (done_.size() > kMaxSteps) {
        done_.pop_front();
    }
}

bool EditHistory::undo() {
    if (done_.empty()) {
        return false;
    }
    auto lock = store_.lockKeyData();
    done_.back().undo(store_.working());
    undone_.push_back(std::move(done_.back()));
    done_.pop_back();
    return true;
}

bool EditHistory::redo() {
    if (undone_.empty()) {
        return false;
    }
    auto lock = store_.lockKeyData();
    undone_.back().redo(store_.working());
    done_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    return true;
}

void EditHistory::clear() {
    done_.clear();
    undone_.clear();
}

bool EditHistory::differsFromApplied() {
    AssignmentStore::AppliedLock lock = store_.lockApplied();
    if (!store_.fingerprint().known()) {
        // No keyboard has been read or written yet: the applied copy says nothing, and the working copy
        // differs from what the program started with exactly while there are steps to undo.
        return canUndo();
    }
    return workingDiffersFromApplied(store_.working(), store_.applied());
}

bool workingDiffersFromApplied(const WorkingCopy& working, const AppliedCopy& applied) {
    if (working.macros() != applied.macros) {
        return true;
    }
    std::u16string appliedText;
    for (size_t i = 0; i < kRecordCount; ++i) {
        const keyboard::KeyAssignment& w = working.records()[i];
        const keyboard::KeyAssignment& a = applied.block->records[i];
        if (!carriesText(w.type)) {
            if (w != a) {
                return true;
            }
            continue;
        }
        // The value of a record with a text is only its place in a pool.
        if (w.type != a.type || w.aux != a.aux || w.flag != a.flag || w.reserved != a.reserved) {
            return true;
        }
        appliedText.clear();
        ProfileProblem problem{};
        if (!textAt(applied.pool, a.value, appliedText, problem) || appliedText != working.text(i).text) {
            return true;
        }
    }
    return false;
}

} // namespace tarvik::profiles
