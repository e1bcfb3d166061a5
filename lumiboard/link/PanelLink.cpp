#include "PanelLink.h"

PanelLink::PanelLink(const UsbApi& api) : api_(api) {}

bool PanelLink::panelPresent() {
    return static_cast<std::int32_t>(api_.getDeviceCount(kDeviceId)) > 0;
}

PanelLink::Pipes::Pipes(PanelLink& link) : link_(link) {
    link_.writePipe_ = link_.api_.open(0, kDeviceId, kEndpoint, MPUSB_DIR_WRITE, 0);
    link_.readPipe_ = link_.api_.open(0, kDeviceId, kEndpoint, MPUSB_DIR_READ, 0);
}

PanelLink::Pipes::~Pipes() {
    close();
}

bool PanelLink::Pipes::write() {
    return link_.api_.write(link_.writePipe_, link_.outReport_.data(), kReportSize,
                            &link_.writeCount_, kWriteTimeoutMs) != 0;
}

bool PanelLink::Pipes::read(std::uint32_t timeoutMs) {
    return link_.api_.read(link_.readPipe_, link_.inReport_.data(), kReportSize, &link_.readCount_,
                           timeoutMs) != 0;
}

void PanelLink::Pipes::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    link_.api_.close(link_.readPipe_);
    link_.api_.close(link_.writePipe_);
}
