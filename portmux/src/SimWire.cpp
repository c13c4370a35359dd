#include "portmux/src/SimWire.h"

#include <algorithm>
#include <cstring>

namespace portmux::wire {

namespace {

enum class Type : uint8_t {
    Hello = 0x01,
    Write = 0x02,
    StatusWrite = 0x03,
    Control = 0x04,
    Welcome = 0x81,
    WriteResult = 0x82,
    ControlResult = 0x83,
    Reply = 0x84,
    Consumer = 0x85,
    Count = 0x86,
    Refused = 0x87,
};

class Writer {
public:
    explicit Writer(Type type) : out_(kLengthSize, 0) { u8(static_cast<uint8_t>(type)); }
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) {
        for (int i = 0; i < 2; ++i) {
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void u64(uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
    // The finished frame: the body length goes in front.
    std::vector<uint8_t> frame() {
        const auto body = static_cast<uint32_t>(out_.size() - kLengthSize);
        for (size_t i = 0; i < kLengthSize; ++i) {
            out_[i] = static_cast<uint8_t>(body >> (8 * i));
        }
        return std::move(out_);
    }

private:
    std::vector<uint8_t> out_;
};

// Reads fields in order; any read past the end makes it fail, and every later read answers 0.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> in) : in_(in) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == in_.size(); }
    size_t left() const { return in_.size() - at_; }
    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    uint64_t u64() { return take(8); }
    std::span<const uint8_t> bytes(size_t n) {
        if (!ok_ || n > left()) {
            ok_ = false;
            return {};
        }
        auto s = in_.subspan(at_, n);
        at_ += n;
        return s;
    }
    void fail() { ok_ = false; }

private:
    uint64_t take(size_t n) {
        uint64_t v = 0;
        const auto b = bytes(n);
        for (size_t i = 0; i < b.size(); ++i) {
            v |= uint64_t{b[i]} << (8 * i);
        }
        return v;
    }

    std::span<const uint8_t> in_;
    size_t at_ = 0;
    bool ok_ = true;
};

bool validOp(uint8_t op) {
    return op >= static_cast<uint8_t>(Op::Reset) && op <= static_cast<uint8_t>(Op::ClearReports);
}

bool validArea(uint32_t area) {
    return area <= static_cast<uint32_t>(sim::Area::Colours);
}

bool validFaultKind(uint32_t kind) {
    return kind <= static_cast<uint32_t>(sim::FaultKind::AckDrop);
}

bool sameFault(const sim::Fault& a, const sim::Fault& b) {
    return a.kind == b.kind && a.count == b.count && a.command == b.command &&
           a.replyCommand == b.replyCommand && a.delayMs == b.delayMs;
}

void putString(Writer& w, const std::string& s, size_t max) {
    const size_t n = std::min(s.size(), max);
    w.u16(static_cast<uint16_t>(n));
    w.bytes({reinterpret_cast<const uint8_t*>(s.data()), n});
}

std::string getString(Reader& r, size_t max) {
    const size_t n = r.u16();
    if (n > max) {
        r.fail();
        return {};
    }
    const auto b = r.bytes(n);
    return {b.begin(), b.end()};
}

// A short byte field: u8 length (min..max), then the bytes.
void putShort(Writer& w, std::span<const uint8_t> b) {
    w.u8(static_cast<uint8_t>(b.size()));
    w.bytes(b);
}

std::vector<uint8_t> getShort(Reader& r, size_t min, size_t max) {
    const size_t n = r.u8();
    if (n < min || n > max) {
        r.fail();
        return {};
    }
    const auto b = r.bytes(n);
    return {b.begin(), b.end()};
}

void putPayload(Writer& w, const ControlPayload& payload) {
    if (const auto* c = std::get_if<Changed>(&payload)) {
        w.u8(c->changed ? 1 : 0);
    } else if (const auto* p = std::get_if<ReportsPage>(&payload)) {
        w.u64(p->first);
        w.u64(p->end);
        w.u16(static_cast<uint16_t>(p->reports.size()));
        for (const auto& r : p->reports) {
            w.bytes(r);
        }
    } else if (const auto* v = std::get_if<ViolationsPage>(&payload)) {
        w.u64(v->first);
        w.u64(v->end);
        w.u16(static_cast<uint16_t>(v->violations.size()));
        for (const auto& rec : v->violations) {
            w.u8(static_cast<uint8_t>(rec.reason));
            w.u8(rec.command);
            w.u8(rec.length);
            w.u16(rec.address);
            putString(w, rec.text, kMaxViolationText);
        }
    } else if (const auto* f = std::get_if<FlashArea>(&payload)) {
        w.u32(static_cast<uint32_t>(f->bytes.size()));
        w.bytes(f->bytes);
    } else if (const auto* s = std::get_if<StatusInfo>(&payload)) {
        w.u8(s->plugged ? 1 : 0);
        w.u32(s->clients);
        w.u32(s->latencyMs);
        w.u32(static_cast<uint32_t>(s->updateReturnMs));
        w.u32(s->faultsPending);
        w.u8(s->frameOpen ? 1 : 0);
        w.u32(s->commits);
        w.u64(s->reportTotal);
        w.u32(s->violations);
        w.u32(s->recordLimit);
        w.u8(s->hasLinkStatus ? 1 : 0);
        w.bytes(s->linkStatus);
        w.u32(s->updateTriggers);
        putString(w, s->statePath, kMaxPathLength);
    }
}

bool getBool(Reader& r) {
    const uint8_t v = r.u8();
    if (v > 1) {
        r.fail();
    }
    return v == 1;
}

ControlPayload getPayload(Reader& r, Op op) {
    switch (op) {
    case Op::Plug:
    case Op::Unplug:
        return Changed{getBool(r)};
    case Op::Reports:
    case Op::Violations: {
        const uint64_t first = r.u64();
        const uint64_t end = r.u64();
        const uint16_t n = r.u16();
        if (n > kMaxPage || first > end || end - first < n) {
            r.fail();
            return Nothing{};
        }
        if (op == Op::Reports) {
            ReportsPage page{first, end, {}};
            for (uint16_t i = 0; i < n && r.ok(); ++i) {
                sim::Report rep{};
                const auto b = r.bytes(rep.size());
                std::copy(b.begin(), b.end(), rep.begin());
                page.reports.push_back(rep);
            }
            return page;
        }
        ViolationsPage page{first, end, {}};
        for (uint16_t i = 0; i < n && r.ok(); ++i) {
            sim::ViolationRecord rec{};
            const uint8_t reason = r.u8();
            if (reason < static_cast<uint8_t>(sim::Violation::BadChecksum) ||
                reason > static_cast<uint8_t>(sim::Violation::BadLength)) {
                r.fail();
            }
            rec.reason = static_cast<sim::Violation>(reason);
            rec.command = r.u8();
            rec.length = r.u8();
            rec.address = r.u16();
            rec.text = getString(r, kMaxViolationText);
            page.violations.push_back(std::move(rec));
        }
        return page;
    }
    case Op::Flash: {
        const uint32_t n = r.u32();
        if (n > kMaxAreaSize) {
            r.fail();
            return Nothing{};
        }
        const auto b = r.bytes(n);
        return FlashArea{{b.begin(), b.end()}};
    }
    case Op::Status: {
        StatusInfo s;
        s.plugged = getBool(r);
        s.clients = r.u32();
        s.latencyMs = r.u32();
        s.updateReturnMs = static_cast<int32_t>(r.u32());
        s.faultsPending = r.u32();
        s.frameOpen = getBool(r);
        s.commits = r.u32();
        s.reportTotal = r.u64();
        s.violations = r.u32();
        s.recordLimit = r.u32();
        s.hasLinkStatus = getBool(r);
        const auto ls = r.bytes(2);
        std::copy(ls.begin(), ls.end(), s.linkStatus.begin());
        s.updateTriggers = r.u32();
        s.statePath = getString(r, kMaxPathLength);
        return s;
    }
    default:
        return Nothing{};
    }
}

// Why a body is malformed, for the daemon's log.
bool malformed(std::string* why, const char* text) {
    if (why) {
        *why = text;
    }
    return false;
}

} // namespace

bool Control::operator==(const Control& o) const {
    return seq == o.seq && op == o.op && value == o.value && delayMs == o.delayMs &&
           sameFault(fault, o.fault) && from == o.from && max == o.max && area == o.area;
}

bool ViolationsPage::operator==(const ViolationsPage& o) const {
    if (first != o.first || end != o.end || violations.size() != o.violations.size()) {
        return false;
    }
    for (size_t i = 0; i < violations.size(); ++i) {
        const auto& a = violations[i];
        const auto& b = o.violations[i];
        if (a.reason != b.reason || a.command != b.command || a.length != b.length ||
            a.address != b.address || a.text != b.text) {
            return false;
        }
    }
    return true;
}

ControlPayload emptyPayloadOf(Op op) {
    switch (op) {
    case Op::Plug:
    case Op::Unplug:
        return Changed{};
    case Op::Reports:
        return ReportsPage{};
    case Op::Violations:
        return ViolationsPage{};
    case Op::Flash:
        return FlashArea{};
    case Op::Status:
        return StatusInfo{};
    default:
        return Nothing{};
    }
}

std::vector<uint8_t> encode(const ClientMessage& message) {
    if (const auto* h = std::get_if<Hello>(&message)) {
        Writer w(Type::Hello);
        w.bytes(kMagic);
        w.u16(h->version);
        w.u8(static_cast<uint8_t>(h->role));
        return w.frame();
    }
    if (const auto* m = std::get_if<Write>(&message)) {
        Writer w(Type::Write);
        w.u32(m->seq);
        w.bytes(m->report);
        return w.frame();
    }
    if (const auto* s = std::get_if<StatusWrite>(&message)) {
        Writer w(Type::StatusWrite);
        w.u32(s->seq);
        putShort(w, s->bytes);
        return w.frame();
    }
    const auto& c = std::get<Control>(message);
    Writer w(Type::Control);
    w.u32(c.seq);
    w.u8(static_cast<uint8_t>(c.op));
    switch (c.op) {
    case Op::Consumer:
    case Op::Latency:
        w.u32(c.value);
        break;
    case Op::UpdateReturn:
        w.u32(static_cast<uint32_t>(c.delayMs));
        break;
    case Op::Fault:
        w.u8(static_cast<uint8_t>(c.fault.kind));
        w.u32(c.fault.count);
        w.u8(c.fault.command);
        w.u8(c.fault.replyCommand);
        w.u32(c.fault.delayMs);
        break;
    case Op::Reports:
    case Op::Violations:
        w.u64(c.from);
        w.u16(c.max);
        break;
    case Op::Flash:
        w.u8(static_cast<uint8_t>(c.area));
        break;
    default:
        break;
    }
    return w.frame();
}

std::vector<uint8_t> encode(const ServerMessage& message) {
    if (const auto* m = std::get_if<Welcome>(&message)) {
        Writer w(Type::Welcome);
        w.bytes(kMagic);
        w.u16(m->version);
        w.u32(m->count);
        return w.frame();
    }
    if (const auto* m = std::get_if<WriteResult>(&message)) {
        Writer w(Type::WriteResult);
        w.u32(m->seq);
        w.u8(m->accepted ? 1 : 0);
        return w.frame();
    }
    if (const auto* m = std::get_if<ControlResult>(&message)) {
        Writer w(Type::ControlResult);
        w.u32(m->seq);
        w.u8(static_cast<uint8_t>(m->op));
        w.u8(m->ok ? 1 : 0);
        if (m->ok) {
            putPayload(w, m->payload);
        }
        return w.frame();
    }
    if (const auto* m = std::get_if<Reply>(&message)) {
        Writer w(Type::Reply);
        putShort(w, m->bytes);
        return w.frame();
    }
    if (const auto* m = std::get_if<ConsumerEvent>(&message)) {
        Writer w(Type::Consumer);
        w.u16(m->usage);
        putShort(w, m->bytes);
        return w.frame();
    }
    if (const auto* m = std::get_if<CountEvent>(&message)) {
        Writer w(Type::Count);
        w.u32(m->count);
        return w.frame();
    }
    const auto& m = std::get<Refused>(message);
    Writer w(Type::Refused);
    putString(w, m.reason, kMaxReasonLength);
    return w.frame();
}

std::optional<ClientMessage> decodeClient(std::span<const uint8_t> body, std::string* why) {
    if (body.empty() || body.size() > kMaxClientBody) {
        malformed(why, body.empty() ? "empty message" : "message too long");
        return std::nullopt;
    }
    Reader r(body.subspan(1));
    std::optional<ClientMessage> out;
    switch (static_cast<Type>(body[0])) {
    case Type::Hello: {
        const auto magic = r.bytes(kMagic.size());
        Hello h;
        h.version = r.u16();
        const uint8_t role = r.u8();
        if (r.ok() && !std::equal(magic.begin(), magic.end(), kMagic.begin())) {
            malformed(why, "not a portmux greeting");
            return std::nullopt;
        }
        if (role != static_cast<uint8_t>(Role::Keyboard) && role != static_cast<uint8_t>(Role::Control)) {
            r.fail();
        }
        h.role = static_cast<Role>(role);
        out = h;
        break;
    }
    case Type::Write: {
        Write m;
        m.seq = r.u32();
        const auto b = r.bytes(m.report.size());
        std::copy(b.begin(), b.end(), m.report.begin());
        out = m;
        break;
    }
    case Type::StatusWrite: {
        StatusWrite m;
        m.seq = r.u32();
        m.bytes = getShort(r, 1, sim::Report{}.size());
        out = m;
        break;
    }
    case Type::Control: {
        Control c;
        c.seq = r.u32();
        const uint8_t op = r.u8();
        if (!validOp(op)) {
            malformed(why, "unknown control operation");
            return std::nullopt;
        }
        c.op = static_cast<Op>(op);
        switch (c.op) {
        case Op::Consumer:
            c.value = r.u32();
            if (c.value > 0xFFFF) {
                r.fail();
            }
            break;
        case Op::Latency:
            c.value = r.u32();
            break;
        case Op::UpdateReturn:
            c.delayMs = static_cast<int32_t>(r.u32());
            break;
        case Op::Fault: {
            const uint8_t kind = r.u8();
            if (!validFaultKind(kind)) {
                r.fail();
            }
            c.fault.kind = static_cast<sim::FaultKind>(kind);
            c.fault.count = r.u32();
            c.fault.command = r.u8();
            c.fault.replyCommand = r.u8();
            c.fault.delayMs = r.u32();
            break;
        }
        case Op::Reports:
        case Op::Violations:
            c.from = r.u64();
            c.max = r.u16();
            if (c.max == 0 || c.max > kMaxPage) {
                r.fail();
            }
            break;
        case Op::Flash: {
            const uint8_t area = r.u8();
            if (!validArea(area)) {
                r.fail();
            }
            c.area = static_cast<sim::Area>(area);
            break;
        }
        default:
            break;
        }
        out = c;
        break;
    }
    default:
        malformed(why, "unknown message type");
        return std::nullopt;
    }
    if (!r.ok() || !r.atEnd()) {
        malformed(why, r.ok() ? "message longer than its fields"
                              : "message shorter than its fields or a "
                                "field out of range");
        return std::nullopt;
    }
    return out;
}

std::optional<ServerMessage> decodeServer(std::span<const uint8_t> body, std::string* why) {
    if (body.empty() || body.size() > kMaxServerBody) {
        malformed(why, body.empty() ? "empty message" : "message too long");
        return std::nullopt;
    }
    Reader r(body.subspan(1));
    std::optional<ServerMessage> out;
    switch (static_cast<Type>(body[0])) {
    case Type::Welcome: {
        const auto magic = r.bytes(kMagic.size());
        Welcome m;
        m.version = r.u16();
        m.count = r.u32();
        if (r.ok() && !std::equal(magic.begin(), magic.end(), kMagic.begin())) {
            malformed(why, "not a portmux greeting");
            return std::nullopt;
        }
        out = m;
        break;
    }
    case Type::WriteResult: {
        WriteResult m;
        m.seq = r.u32();
        m.accepted = getBool(r);
        out = m;
        break;
    }
    case Type::ControlResult: {
        ControlResult m;
        m.seq = r.u32();
        const uint8_t op = r.u8();
        if (!validOp(op)) {
            malformed(why, "unknown control operation");
            return std::nullopt;
        }
        m.op = static_cast<Op>(op);
        m.ok = getBool(r);
        m.payload = m.ok ? getPayload(r, m.op) : ControlPayload{Nothing{}};
        out = std::move(m);
        break;
    }
    case Type::Reply:
        out = Reply{getShort(r, 1, sim::Report{}.size())};
        break;
    case Type::Consumer: {
        ConsumerEvent m;
        m.usage = r.u16();
        m.bytes = getShort(r, 0, sim::Report{}.size());
        out = m;
        break;
    }
    case Type::Count:
        out = CountEvent{r.u32()};
        break;
    case Type::Refused:
        out = Refused{getString(r, kMaxReasonLength)};
        break;
    default:
        malformed(why, "unknown message type");
        return std::nullopt;
    }
    if (!r.ok() || !r.atEnd()) {
        malformed(why, r.ok() ? "message longer than its fields"
                              : "message shorter than its fields or a "
                                "field out of range");
        return std::nullopt;
    }
    return out;
}

void FrameReader::feed(std::span<const uint8_t> bytes) {
    if (failed_) {
        return;
    }
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096 && start_ * 2 > buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

bool FrameReader::hasFrame() const {
    if (failed_ || buffered() < kLengthSize) {
        return false;
    }
    const uint8_t* p = buffer_.data() + start_;
    const size_t length = size_t{p[0]} | (size_t{p[1]} << 8) | (size_t{p[2]} << 16) | (size_t{p[3]} << 24);
    return length == 0 || length > maxBody_ || buffered() >= kLengthSize + length;
}

std::optional<std::vector<uint8_t>> FrameReader::next() {
    if (failed_ || buffered() < kLengthSize) {
        return std::nullopt;
    }
    const uint8_t* p = buffer_.data() + start_;
    const size_t length = size_t{p[0]} | (size_t{p[1]} << 8) | (size_t{p[2]} << 16) | (size_t{p[3]} << 24);
    if (length == 0 || length > maxBody_) {
        failed_ = true;
        why_ = length == 0 ? "empty message"
                           : "message of " + std::to_string(length) + " bytes, above the limit";
        return std::nullopt;
    }
    if (buffered() < kLengthSize + length) {
        return std::nullopt;
    }
    std::vector<uint8_t> body(p + kLengthSize, p + kLengthSize + length);
    start_ += kLengthSize + length;
    return body;
}

} // namespace portmux::wire
