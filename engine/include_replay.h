#pragma once

// The include cache's two halves for one load: recording what reading an
// included file does, and playing a kept file again (include_cache.h).

#include "file_source.h"
#include "include_branches.h"
#include "include_load.h"

#include <string>

namespace korvane::include {

class IncludeReplay {
public:
    IncludeReplay(LoadState& load, Branches& branches, const FileSource& files,
                  const ArenaPlace& place, IncludeCache& cache)
        : load_(load), branches_(branches), files_(files), place_(place), cache_(cache) {}

    // What reading the file at `path` depends on now.
    IncludeEntry entry(int depth) const;
    // Plays the file at `path`, included at `at`, again where a kept state
    // matches; false when it must be read.
    bool replay(const std::string& path, const IncludeEntry& entry, const FileLine& at);
    // Records the reading of the file that starts now, and keeps it where
    // what it did depends on its entry state alone.
    void begin();
    // `leaks`: a line still being joined goes on past the file.
    void end(const std::string& path, IncludeEntry entry, bool leaks);

private:
    bool replayable(const IncludeEffect& e);
    void play(const IncludeEffect& e, const FileLine& at);

    LoadState& load_;
    Branches& branches_;
    const FileSource& files_;
    const ArenaPlace& place_;
    IncludeCache& cache_;
};

} // namespace korvane::include
