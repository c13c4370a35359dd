// The one way the program's own edits reach the working copy, and the undo and redo built on it. Every
// change the user makes (a key's assignment, a G key, the macro list, a colour-keys flag, an import) runs
// through EditHistory::edit, which records what it changed as an Edit: a step that can be taken back and
// done again. A paint stroke of the lighting joins the same history as a step of its own.
//
// Other programs' changes merged in by the keyboard guard are not steps. An Edit therefore only ever
// touches the records and the macro list it changed itself, and only while they still hold what the edit
// left there: a record another program changed since is left as it is now, so undo never brings an old
// value back over a change the user did not make.
#pragma once

#include "keyboard/KeyAssignment.h"
#include "macros/MacroRecord.h"
#include "profiles/AssignmentStore.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace tarvik::profiles {

// What an edit may change, copied before it runs.
struct WorkingSnapshot {
    std::vector<keyboard::KeyAssignment> records;
    std::vector<TextSlot> texts;
    macros::MacroSet macros;

    static WorkingSnapshot of(const WorkingCopy& working);
};

class Edit {
public:
    // The difference between the working copy before an edit and now.
    static Edit between(const WorkingSnapshot& before, const WorkingCopy& after);

    // A step kept outside the working copy (a paint stroke of the lighting): restore(false) takes it back,
    // restore(true) does it again.
    static Edit outside(std::function<void(bool forward)> restore);

    bool empty() const { return records_.empty() && !macros_ && !outside_; }
    // Whether undo or redo changes the working copy (Apply and the key buttons follow it).
    bool touchesWorkingCopy() const { return !records_.empty() || macros_; }
    // Back to before (undo) or to after (redo); a part that no longer holds what the other side left
    // stays. True when anything changed.
    bool undo(WorkingCopy& working) const { return restore(working, false); }
    bool redo(WorkingCopy& working) const { return restore(working, true); }

private:
    struct Record {
        size_t index = 0;
        keyboard::KeyAssignment before, after;
        TextSlot textBefore, textAfter;
    };
    struct Macros {
        macros::MacroSet before, after;
    };
    bool restore(WorkingCopy& working, bool forward) const;

    std::vector<Record> records_;
    std::optional<Macros> macros_;
    std::function<void(bool forward)> outside_;
};

class EditHistory {
public:
    // The oldest steps are forgotten beyond this many.
    static constexpr size_t kMaxSteps = 200;

    explicit EditHistory(AssignmentStore& store) : store_(store) {}

    // Runs change on the working copy under the key-data lock; what it changed becomes one step (nothing
    // changed: no step) and the steps undone before are gone. True when it changed something.
    bool edit(const std::function<void(WorkingCopy&)>& change);
    // A step made elsewhere (an import on the device worker, which takes its locks in the keyboard's order):
    // the difference between before and the working copy now, under the key-data lock. Any thread.
    static Edit stepSince(AssignmentStore& store, const WorkingSnapshot& before);
    // Adds such a step as the newest; an empty one is no step.
    void push(Edit step);

    // Takes back the last step, or does the last undone one again. False when there is none.
    bool undo();
    bool redo();
    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    bool empty() const { return done_.empty() && undone_.empty(); }
    // Forgets every step: the working copy was replaced as a whole, or the user chose to start afresh.
    void clear();

    // Whether the working copy holds something the applied copy does not: the keys' functions (a text by
    // its contents, not its place in the pool) and the macro list. Before any keyboard was read or written,
    // whether there are steps to undo. Takes both locks.
    bool differsFromApplied();

private:
    AssignmentStore& store_;
    std::deque<Edit> done_;
    std::vector<Edit> undone_;
};

// The comparison of differsFromApplied, for a caller that holds both locks.
bool workingDiffersFromApplied(const WorkingCopy& working, const AppliedCopy& applied);

} // namespace tarvik::profiles
