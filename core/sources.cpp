#include "core/sources.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <memory>
#include <utility>

#include "core/cuesheet.h"
#include "core/naming.h"
#include "core/targets.h"

namespace zelph {

namespace {

using FolderId = std::pair<dev_t, ino_t>;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

class FolderWalk {
public:
    explicit FolderWalk(SourceList& list) : list_(list) {}

    // Adds the sources under `folder` (its identity `id`), sorted.
    void WalkRoot(const std::string& folder, FolderId id) {
        const std::size_t first = list_.files.size();
        Walk(folder.back() == '/' ? folder : folder + "/", id);
        std::sort(list_.files.begin() + static_cast<std::ptrdiff_t>(first), list_.files.end());
    }

private:
    void Walk(const std::string& folder, FolderId id);
    void Entry(const std::string& path, unsigned char type);
    void Problem(const std::string& path, std::string reason) { list_.problems.push_back({path, std::move(reason)}); }

    SourceList& list_;
    std::map<FolderId, std::string> walked_;  // every folder entered, by identity, with its first path
    std::vector<FolderId> way_;               // the folders from the root to the one being read
};

void FolderWalk::Walk(const std::string& folder, FolderId id) {
    if (std::find(way_.begin(), way_.end(), id) != way_.end())
        return Problem(folder, "a link loop: leads back to " + walked_[id]);
    if (const auto [seen, added] = walked_.emplace(id, folder); !added)
        return Problem(folder, "the same folder as " + seen->second + ", walked once");
    errno = 0;
    DirHandle dir(::opendir(folder.c_str()));
    if (!dir) return Problem(folder, std::strerror(errno));
    // In name order, so that which of two ways to one folder is taken does
    // not depend on the order the file system gives.
    std::vector<std::pair<std::string, unsigned char>> entries;
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) Problem(folder, std::strerror(errno));
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") entries.emplace_back(name, entry->d_type);
    }
    dir.reset();  // a deep tree holds no descriptor per level
    std::sort(entries.begin(), entries.end());
    way_.push_back(id);
    for (const auto& [name, type] : entries) Entry(folder + name, type);
    way_.pop_back();
}

// A plain file is judged by its name alone; anything else (a link, or a file
// system that does not give types) is looked at first.
void FolderWalk::Entry(const std::string& path, unsigned char type) {
    if (type == DT_REG) {
        if (FindSource(path)) list_.files.push_back(path);
        return;
    }
    if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN) return;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        // A dangling link named like music is worth a word; other names are not ours.
        if (FindSource(path)) Problem(path, std::strerror(errno));
        return;
    }
    if (S_ISDIR(info.st_mode))
        Walk(path + "/", {info.st_dev, info.st_ino});
    else if (S_ISREG(info.st_mode) && FindSource(path))
        list_.files.push_back(path);
}

// Each sheet becomes its tracks, in its place; the image a sheet splits is
// not listed whole as well. A sheet that cannot be used is a problem.
void SplitSheets(SourceList& list) {
    std::vector<std::string> files;
    std::set<std::string> images;
    for (std::string& path : list.files) {
        if (!IsCueSheet(path)) {
            files.push_back(std::move(path));
            continue;
        }
        const CueSheet sheet = ReadCueSheet(path);
        if (!sheet.error.empty()) {
            list.problems.push_back({path, sheet.error});
            continue;
        }
        images.insert(PlaceOf(sheet.image));
        for (const CueTrack& track : sheet.tracks) files.push_back(TrackEntry(path, track.number));
    }
    if (!images.empty())
        std::erase_if(files, [&](const std::string& file) { return !ParseTrackEntry(file) && images.contains(PlaceOf(file)); });
    list.files = std::move(files);
}

}  // namespace

SourceList ExpandSources(const std::vector<std::string>& paths) {
    SourceList list;
    FolderWalk walk(list);
    for (const std::string& path : paths) {
        struct stat info;
        if (!path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            walk.WalkRoot(path, {info.st_dev, info.st_ino});
        else
            list.files.push_back(path);
    }
    SplitSheets(list);
    return list;
}

std::vector<std::string> ReadPathList(std::istream& in, bool nulSeparated) {
    std::vector<std::string> paths;
    std::string path;
    while (std::getline(in, path, nulSeparated ? '\0' : '\n'))
        if (!path.empty()) paths.push_back(std::move(path));
    return paths;
}

}  // namespace zelph
