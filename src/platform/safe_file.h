#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/failure.h"

// The one way the program writes files. Plain C++ on POSIX, no Qt, so the spreadsheet engine uses it too.
//
// replace() never leaves a half-written file under any name: the new contents are written to a file that
// has no name at all (O_TMPFILE) where the kernel and the file system allow it, else to a short, unguessable,
// owner-only name beside the target that is removed on every failure (and on SIGINT, SIGTERM and SIGHUP once
// removeDraftsOnSignals() is in place). The data is flushed; a new file takes its name in one step, and an
// unnamed file replacing an existing one gets a draft name for the moment before it is moved over the
// target; the folder is flushed last. So after a crash at any moment the target holds either its old bytes
// or the new.
namespace rw::safefile {

// A failed write or refused target. description() reads "Cannot write "<path>": <reason>"; reason() is the
// system's own text ("No space left on device", "File too large", "Permission denied") or the refusal
// ("it is a folder"); error() the errno behind it (0 for a refusal that has none).
class Error : public Failure {
  public:
    Error(const std::filesystem::path& path, std::string reason, int error);
    const std::string& reason() const { return reason_; }
    int error() const { return error_; }

  private:
    std::string reason_;
    int error_;
};

// Where a writer callback puts the new file's bytes, in as many pieces as it likes. A write that fails
// throws Error; a writer may throw anything itself, which abandons the new file and reaches the caller.
class Output {
  public:
    virtual ~Output() = default;
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
    void write(std::string_view text) {
        write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
};

using Writer = std::function<void(Output&)>;

// What a file that is not a regular one is, in the words of the refusals, to follow "it is" or "which is":
// "a folder", "a FIFO (named pipe), not a regular file", "a socket, ...", "a device, ...".
std::string kindOf(mode_t mode);

// Replaces `target` with `bytes` (or whatever `writer` writes) in one step. Through a link (or a chain of
// them) the file it ends at is replaced, in that file's own folder, keeping its mode and, where the user may
// set it, its owner; a link that dangles, ends at anything but a regular file, or ends in a folder the user
// cannot write is refused with a reason that names where it ends. An existing regular file keeps its
// permission bits; a new file gets those the umask leaves of 0666. A folder, FIFO, socket or device at the
// target is refused and left as it is. Names may be as long as the folder allows and hold any bytes.
//
// Each write first removes, from the folder it writes into, the drafts (".rw-" and 12 letters or digits,
// ".tmp") that a writer killed in the moment between naming its new file and moving it over an existing
// one has left there; a draft whose writer is still at work is locked and kept.
void replace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);
void replace(const std::filesystem::path& target, const Writer& writer);

// Whether replace() waits for the disk. Files the user keeps are flushed. A scratch file that the program
// deletes again itself may skip that wait: it still never shows half-written under its name, but after a
// crash of the whole system it may hold its old bytes or none.
enum class Flush : bool { ToDisk, NotNeeded };
void replace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes, Flush flush);
void replace(const std::filesystem::path& target, const Writer& writer, Flush flush);

// Creates an empty file in `folder` under the name `nextName` gives (a plain name, no separator), for its
// owner only and never through a link; while the name is taken (by anything, a dangling link included) a
// new one is drawn, at most `maxDraws` times in all. Returns the path of the created file. When every name
// drawn was taken, the Error's error() is EEXIST.
std::filesystem::path createExclusive(const std::filesystem::path& folder,
                                      const std::function<std::string()>& nextName, int maxDraws);

// For a program that writes and may be stopped: SIGINT, SIGTERM and SIGHUP first remove the file being
// written under a name (if any), then end the program as the signal would have.
void removeDraftsOnSignals();

// Files (or empty folders) of the program's own that those signals remove too, such as the window
// program's temporary workbook: registered when made, kept again (removed from the list) when the program
// deletes them itself. Up to eight at a time; async-signal-safe on the handler's side.
void removeOnStopSignal(const std::filesystem::path& path);
void keepOnStopSignal(const std::filesystem::path& path);

// The test seam: the `n`-th write to the kernel from now on (1 = the next one) fails with `error`; 0 turns
// it off. Only for tests.
void failNthWriteForTesting(int n, int error);
// The test seam for systems without O_TMPFILE: with `on`, every new file gets a draft name from the start.
void useNamedDraftsForTesting(bool on);

}  // namespace rw::safefile
