#include "PanelLink.h"

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
        return static_cast<std::int32_t>(api_.getDeviceCount(kDeviceId)) >
               static_cast<std::int64_t>(instance_);
    });
}

PanelLink::Pipes::Pipes(PanelLink& link) : link_(link) {
    link_.writePipe_ = link_.api_.open(link_.instance_, kDeviceId, kEndpoint, MPUSB_DIR_WRITE, 0);
    link_.readPipe_ = link_.api_.open(link_.instance_, kDeviceId, kEndpoint, MPUSB_DIR_READ, 0);
}

PanelLink::Pipes::~Pipes() {
    close();
}

bool PanelLink::Pipes::write() {
    return link_.keepingError([this] {
        return link_.api_.write(link_.writePipe_, link_.outReport_.data(), kReportSize,
                                &link_.writeCount_, kWriteTimeoutMs) != 0;
    });
}

bool PanelLink::Pipes::read(std::uint32_t timeoutMs) {
    return link_.keepingError([this, timeoutMs] {
        return link_.api_.read(link_.readPipe_, link_.inReport_.data(), kReportSize,
                               &link_.readCount_, timeoutMs) != 0;
    });
}

void PanelLink::Pipes::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    link_.api_.close(link_.readPipe_);
    link_.api_.close(link_.writePipe_);
}
