// The loop around the step: bytes in, framed messages out. One thread: a
// check runs only when no input waits, and what came in while it ran is
// handled before its results are published, so a burst of edits is checked
// once and an edit always overtakes the check it makes stale.

#include "server.h"

#include "../console.h"
#include "message_reader.h"
#include "session.h"
#include "standard_input.h"

#include <filesystem>
#include <map>
#include <vector>

namespace korvane::lsp {
namespace {

// How often the server looks at the files its checks read, when the client
// does not watch them for it.
constexpr int kWatchMilliseconds = 1000;

// The files a check depends on as last seen: a change of size, time or
// existence is a change.
class DiskWatch {
public:
    // Takes the state of `paths` as it is, as a check has just read them.
    void note(const std::set<std::string>& paths) { changed(paths); }

    // The paths of `paths` that changed since the last look; a new path is
    // only noted.
    std::vector<std::string> changed(const std::set<std::string>& paths) {
        std::vector<std::string> out;
        std::map<std::string, Seen> now;
        for (const std::string& path : paths) {
            const Seen seen = look(path);
            const auto before = seen_.find(path);
            if (before != seen_.end() && !(before->second == seen))
                out.push_back(path);
            now.emplace(path, seen);
        }
        seen_ = std::move(now);
        return out;
    }

private:
    struct Seen {
        bool exists = false;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time{};
        bool operator==(const Seen&) const = default;
    };
    static Seen look(const std::string& path) {
        std::error_code error;
        const std::filesystem::path file(std::u8string(path.begin(), path.end()));
        const auto status = std::filesystem::status(file, error);
        if (error || !std::filesystem::exists(status))
            return {};
        const bool regular = std::filesystem::is_regular_file(status);
        return {true, regular ? std::filesystem::file_size(file, error) : 0,
                std::filesystem::last_write_time(file, error)};
    }
    std::map<std::string, Seen> seen_;
};

class Loop {
public:
    Loop() : session_(diskFiles()) {}

    int run() {
        for (;;) {
            if (session_.checkPending() && !inputWaiting(0)) {
                CheckBatch batch = session_.check();
                // Input that came meanwhile first: an edit in it overtakes the checks.
                while (!ended_ && !exit() && inputWaiting(0))
                    readAndHandle();
                // What the check read is the state to compare with, taken
                // before the client hears of it.
                if (watchesItself())
                    watch_.note(session_.workspace().watched());
                if (!exit())
                    send(session_.publish(std::move(batch)));
            } else if (watchesItself() && !inputWaiting(kWatchMilliseconds)) {
                for (const std::string& path : watch_.changed(session_.workspace().watched()))
                    session_.changedOnDisk(path);
                continue;
            } else {
                readAndHandle();
            }
            if (exit())
                return *session_.exitStatus();
            if (ended_ || writeError_ != 0)
                return session_.shutDown() ? 0 : 1; // the client went away without `exit`
        }
    }

private:
    bool exit() const { return session_.exitStatus().has_value(); }
    bool watchesItself() const {
        return !session_.clientWatches() && !session_.workspace().documents().empty();
    }

    void readAndHandle() {
        const std::size_t n = readInput(buffer_.data(), buffer_.size());
        if (n == 0) {
            ended_ = true;
            return;
        }
        reader_.feed(std::string_view(buffer_.data(), n));
        Framed framed;
        while (!exit() && reader_.next(framed)) {
            send(session_.fault(framed));
        }
    }

    void send(const Messages& messages) {
        for (const nlohmann::json& message : messages) {
            if (writeError_ == 0) {
                // Texts from files need not be UTF-8: replaced, never thrown on.
                writeError_ = cli::writeStandardOutput(
                    frame(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
            }
        }
    }

    Session session_;
    MessageReader reader_;
    DiskWatch watch_;
    std::vector<char> buffer_ = std::vector<char>(1 << 16);
    bool ended_ = false;
    int writeError_ = 0;
};

} // namespace

int runLanguageServer() {
    prepareStandardStreams();
    Loop loop;
    return loop.run();
}

} // namespace korvane::lsp
