#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include <QString>

class QLockFile;

// How long an operation waits for another program to finish with the panel
// before it says the panel is busy.
inline constexpr std::chrono::milliseconds kPanelLockWait{2000};

// The folder of the lock files: the user's runtime folder ($XDG_RUNTIME_DIR),
// else a folder of this user's own in the temporary folder. Empty when none
// can be trusted (one another user made): the programs then take no lock.
QString panelLockFolder();

// The lock file of one panel in folder: the virtual panel on socket when one
// is named, else the USB panel of that instance. Programs that agree on the
// file take their turns on the panel.
QString panelLockPath(const QString& folder, const QString& socket, std::uint32_t instance);

// An advisory lock on one panel, shared by every program of ours: taken
// around each operation that must not interleave with another program's (a
// send, a clock read then write). Released on destruction or when the
// process dies, so a killed program leaves nothing stale behind.
class PanelLock {
public:
    explicit PanelLock(const QString& path);
    ~PanelLock();
    PanelLock(const PanelLock&) = delete;
    PanelLock& operator=(const PanelLock&) = delete;

    // Waits up to wait for the panel; true once this program holds it.
    bool acquire(std::chrono::milliseconds wait = kPanelLockWait);
    void release();
    bool held() const { return held_; }

private:
    std::unique_ptr<QLockFile> file_;
    bool held_ = false;
};
