#include "PanelLink.h"

#include "ReportCoding.h"

#include <cerrno>

PanelLink::PanelLink(const UsbApi& api, std::uint32_t instance) : api_(api), instance_(instance) {}

template <typename Call>
bool PanelLink::keepingError(Call call) {
    errno = 0;
    const bool ok = call();
    if (!ok) {
        lastError_ = errno;
    }
    return ok;
}

bool PanelLink::panelPresent() {
    return keepingError([this] {
        return static_cast<std::int32_t>(api_.getDeviceCount(api_.context, kDeviceId)) >
               static_cast<std::int64_t>(instance_);
    });
}

PanelLink::Pipes::Pipes(PanelLink& link) : link_(link) {
    link_.lastError_ = 0;
    const auto open = [this](std::uint32_t direction) {
        errno = 0;
        const std::uint32_t pipe = link_.api_.open(link_.api_.context, link_.instance_, kDeviceId,
                                                   kEndpoint, direction, 0);
        if (pipe == MPUSB_INVALID_HANDLE && openError_ == 0) {
            openError_ = errno;
        }
        return pipe;
    };
    link_.writePipe_ = open(MPUSB_DIR_WRITE);
    link_.readPipe_ = open(MPUSB_DIR_READ);
}

bool PanelLink::Pipes::transferred(bool ok) {
    if (!ok && openError_ != 0) {
        link_.lastError_ = openError_;
    }
    return ok;
}

PanelLink::Pipes::~Pipes() {
    close();
}

bool PanelLink::Pipes::write() {
    return transferred(link_.keepingError([this] {
        return link_.api_.write(link_.api_.context, link_.writePipe_, link_.outReport_.data(),
                                kReportSize, &link_.writeCount_, kWriteTimeoutMs) != 0;
    }));
}

bool PanelLink::Pipes::read(std::uint32_t timeoutMs) {
    return transferred(link_.keepingError([this, timeoutMs] {
        return link_.api_.read(link_.api_.context, link_.readPipe_, link_.inReport_.data(),
                               kReportSize, &link_.readCount_, timeoutMs) != 0;
    }));
}

void PanelLink::Pipes::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    link_.api_.close(link_.api_.context, link_.readPipe_);
    link_.api_.close(link_.api_.context, link_.writePipe_);
}

LinkFailure PanelLink::Pipes::failure(LinkFailure::Step step) const {
    LinkFailure failed;
    failed.step = openError_ != 0 ? LinkFailure::Step::Open : step;
    failed.transfer = step;
    failed.error = link_.lastError_;
    return failed;
}

std::optional<LinkFailure> PanelLink::Pipes::request(std::uint32_t timeoutMs, bool ackRequired) {
    if (!write()) {
        return failure(LinkFailure::Step::Write);
    }
    if (!read(timeoutMs)) {
        return failure(LinkFailure::Step::Read);
    }
    if (ackRequired && link_.inReport_[0] != REPLY_ACK) {
        return failure(LinkFailure::Step::Refused);
    }
    return std::nullopt;
}
