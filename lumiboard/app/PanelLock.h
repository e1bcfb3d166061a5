#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include <QString>

#include "LinkOutcome.h"

class QLockFile;

// How long an operation waits for another program to finish with the panel
// before it says the panel is busy.
inline constexpr std::chrono::milliseconds kPanelLockWait{2000};

// What the choice of the lock's folder depends on; a test gives its own.
struct LockPlaces {
    QString runtimeDir;  // $XDG_RUNTIME_DIR, maybe empty
    QString userRunDir;  // /run/user/<uid>: the same folder when cron has no $XDG_RUNTIME_DIR
    QString homeDir;     // from the user database, not $HOME: su and sudo keep the caller's
    QString tempDir;
    unsigned uid = 0;
    static LockPlaces ofThisProcess();
};

// The folder of the lock files, the same for every program of one user
// whatever its environment: the runtime folder when it is the user's own and
// writable, else /run/user/<uid> on the same terms, else the user's cache
// folder, else a folder of the user's own in the temporary folder. Never
// empty: a folder that cannot be trusted is named by the lock's failure.
QString panelLockFolder(const LockPlaces& places = LockPlaces::ofThisProcess());

// The name files about one panel share: the virtual panel on socket when one
// is named (by its real path, however it is reached), else the USB panel of
// that instance.
QString panelFileName(const QString& socket, std::uint32_t instance);

// The lock file of one panel in folder: the virtual panel on socket when one
// is named (by its real path, however it is reached), else the USB panel of
// that instance. Programs that agree on the file take their turns on the panel.
QString panelLockPath(const QString& folder, const QString& socket, std::uint32_t instance);

// Who holds a panel's lock now, as the holder wrote it in the file; nothing
// when nobody holds it (or the file says nothing readable).
struct LockHolder {
    qint64 pid = 0;
    QString program;
};
std::optional<LockHolder> panelLockHolder(const QString& path);

// An advisory lock on one panel, shared by every program of ours: taken
// around each operation that must not interleave with another program's.
// The kernel drops it when the holder's process dies, whatever the file
// holds, so nothing a killed program leaves can keep the panel.
class PanelLock {
public:
    explicit PanelLock(const QString& path);
    ~PanelLock();
    PanelLock(const PanelLock&) = delete;
    PanelLock& operator=(const PanelLock&) = delete;

    enum class Result { Held, Busy, Unusable };
    // Waits up to wait for the panel.
    Result acquire(std::chrono::milliseconds wait = kPanelLockWait);
    void release();
    bool held() const { return held_; }
    // Why the last acquire found the lock unusable.
    const std::optional<LockProblem>& problem() const { return problem_; }

private:
    QString path_;
    int fd_ = -1;                      // the kept file, locked with flock
    std::unique_ptr<QLockFile> file_;  // where there is no flock
    bool held_ = false;
    std::optional<LockProblem> problem_;
};
