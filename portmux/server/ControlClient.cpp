#include "portmux/server/ControlClient.h"

namespace portmux::sim {

namespace {

// Every page of a record until the end the first page named.
template <typename Page, typename Item>
std::optional<std::vector<Item>> allPages(ControlClient& client, wire::Op op, uint64_t from, uint64_t* first,
                                          std::vector<Item> Page::*items) {
    std::vector<Item> out;
    std::optional<uint64_t> end;
    for (;;) {
        wire::Control c;
        c.op = op;
        c.from = from;
        c.max = wire::kMaxPage;
        auto r = client.call(c);
        const Page* page = r && r->ok ? std::get_if<Page>(&r->payload) : nullptr;
        if (!page) {
            return std::nullopt;
        }
        if (!end) {
            end = page->end;
            if (first) {
                *first = page->first;
            }
        }
        const auto& got = page->*items;
        for (size_t i = 0; i < got.size() && page->first + i < *end; ++i) {
            out.push_back(got[i]);
        }
        from = page->first + got.size();
        if (got.empty() || from >= *end) {
            return out;
        }
    }
}

} // namespace

std::unique_ptr<ControlClient> ControlClient::connect(const std::string& path, std::string* why,
                                                      std::chrono::milliseconds timeout) {
    auto socket = WireSocket::connect(path, wire::Role::Control, timeout, nullptr, why);
    if (!socket) {
        return nullptr;
    }
    return std::unique_ptr<ControlClient>(new ControlClient(std::move(socket)));
}

std::optional<wire::ControlResult> ControlClient::call(wire::Control request) {
    request.seq = nextSeq_++;
    if (!socket_->send(request)) {
        return std::nullopt;
    }
    auto answer = socket_->receive(timeout_);
    const auto* result = answer ? std::get_if<wire::ControlResult>(&*answer) : nullptr;
    if (!result || result->seq != request.seq || result->op != request.op) {
        return std::nullopt;
    }
    return *result;
}

std::optional<wire::ControlResult> ControlClient::call(wire::Op op) {
    wire::Control c;
    c.op = op;
    return call(c);
}

std::optional<wire::StatusInfo> ControlClient::status() {
    auto r = call(wire::Op::Status);
    const auto* s = r && r->ok ? std::get_if<wire::StatusInfo>(&r->payload) : nullptr;
    return s ? std::optional<wire::StatusInfo>(*s) : std::nullopt;
}

std::optional<std::vector<uint8_t>> ControlClient::flash(Area area) {
    wire::Control c;
    c.op = wire::Op::Flash;
    c.area = area;
    auto r = call(c);
    const auto* f = r && r->ok ? std::get_if<wire::FlashArea>(&r->payload) : nullptr;
    return f ? std::optional<std::vector<uint8_t>>(f->bytes) : std::nullopt;
}

std::optional<std::vector<Report>> ControlClient::reports(uint64_t from, uint64_t* first) {
    return allPages<wire::ReportsPage, Report>(*this, wire::Op::Reports, from, first,
                                               &wire::ReportsPage::reports);
}

std::optional<std::vector<ViolationRecord>> ControlClient::violations(uint64_t from, uint64_t* first) {
    return allPages<wire::ViolationsPage, ViolationRecord>(*this, wire::Op::Violations, from, first,
                                                           &wire::ViolationsPage::violations);
}

} // namespace portmux::sim
