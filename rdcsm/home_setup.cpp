// SPDX-License-Identifier: Apache-2.0
#include "home_setup.h"

#include "store.h"

#include "visible_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// The home with its trailing '/' must fit the platform's 264-byte buffer.
constexpr std::size_t kHomeLimit = 262;

bool Exists(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string RealPath(const std::string &path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

std::string FolderOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
}

// The *.rdx files of folder, sorted by name.
void AddConnectors(const std::string &folder, std::vector<HomeLink> &links) {
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    std::vector<HomeLink> found;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".rdx") == 0 && name[0] != '.')
            found.push_back({folder + "/" + name, name});
    }
    closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const HomeLink &a, const HomeLink &b) { return a.name < b.name; });
    links.insert(links.end(), found.begin(), found.end());
}

// In the build tree each connector has a folder of its own under connectors/.
void AddBuiltConnectors(const std::string &top, std::vector<HomeLink> &links) {
    const std::string connectors = top + "/connectors";
    DIR *dir = opendir(connectors.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> folders;
    while (const dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.') folders.push_back(connectors + "/" + entry->d_name);
    closedir(dir);
    std::sort(folders.begin(), folders.end());
    for (const std::string &folder : folders)
        AddConnectors(folder, links);
}

void AddIfThere(const std::string &path, const std::string &name, std::vector<HomeLink> &links) {
    if (access(path.c_str(), X_OK) == 0) links.push_back({path, name});
}

// A path as a shell word: quoted unless it is plain.
std::string ShellWord(const std::string &text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+,:@%", c);
    });
    if (plain && !text.empty()) return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Makes folder and its missing parents, each private to the user.
bool MakeFolders(const std::string &folder) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) return true;
    }
}

// The home's absolute folder, made when missing; empty after a message.
std::string PrepareFolder(std::string folder) {
    if (folder.empty()) folder = DefaultHomeFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "rdcsm: neither XDG_STATE_HOME nor HOME is set; name the folder: "
                             "rdcsm init FOLDER\n");
        return "";
    }
    if (folder[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr) {
            std::fprintf(stderr, "rdcsm: cannot tell the current folder: %s\n",
                         std::strerror(errno));
            return "";
        }
        folder = std::string(cwd) + "/" + folder;
    }
    if (!MakeFolders(folder)) {
        std::fprintf(stderr, "rdcsm: cannot make the folder %s: %s\n",
                     rdxc::VisibleText(folder).c_str(), std::strerror(errno));
        return "";
    }
    const std::string home = RealPath(folder);
    if (home.empty() || home.size() > kHomeLimit || home.find_first_of("\n\r\"") != home.npos) {
        std::fprintf(stderr,
                     "rdcsm: %s cannot be a home: its path must be at most %zu bytes without "
                     "line breaks or double quotes\n",
                     rdxc::VisibleText(folder).c_str(), kHomeLimit);
        return "";
    }
    return home;
}

// Writes quarry.ini naming the home unless one is there.
bool WriteQuarryIni(const std::string &home, bool &made) {
    const std::string path = home + "/quarry.ini";
    made = false;
    if (Exists(path)) return true;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string text = "[Configuration]\nDirectory=" + home + "/\nKitType=2\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    made = close(fd) == 0 && written;
    if (!made) unlink(path.c_str());
    return made;
}

void Line(const char *name, const char *what, const std::string &detail = "") {
    std::printf("  %-14s %s%s\n", name, what, rdxc::VisibleText(detail).c_str());
}

// An entry of the home is never replaced; one that leads nowhere is told.
void KeepLink(const std::string &name, const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return Line(name.c_str(), "kept");
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    Line(name.c_str(), "kept, but it leads to no file: ",
         length > 0 ? std::string(target, static_cast<size_t>(length)) : path);
}

void PrintUse(const std::string &home, bool changed) {
    const std::string word = ShellWord(home);
    if (!changed) std::printf("The home was set up already; nothing was changed.\n");
    std::printf("To use it, put it first on PATH:\n"
                "  export PATH=%s:\"$PATH\"\n"
                "or name it to each program with -c:\n"
                "  rdcsm -c %s serve --detach\n"
                "  rdcsm -c %s define JOBFILE\n"
                "  rdrun -c %s ACTIVITY\n",
                word.c_str(), word.c_str(), word.c_str(), word.c_str());
}

} // namespace

std::string DefaultHomeFolder() {
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/rdx/home";
    const char *user = std::getenv("HOME");
    if (user != nullptr && user[0] == '/') return std::string(user) + "/.local/state/rdx/home";
    return "";
}

std::vector<HomeLink> InstalledFiles() {
    std::vector<HomeLink> links;
    const std::string self = RealPath("/proc/self/exe");
    if (self.empty()) return links;
    const std::string bin = FolderOf(self);
    links.push_back({self, "rdcsm"});
    if (bin == RealPath(RDCSM_BUILD_DIR)) {
        AddIfThere(RDX_BUILD_TOP "/rdrun/rdrun", "rdrun", links);
        AddBuiltConnectors(RDX_BUILD_TOP, links);
        return links;
    }
    AddIfThere(bin + "/rdrun", "rdrun", links);
    // The installed tree relative to the program first, so that a staged
    // or moved installation links its own connectors.
    const std::string beside = bin + "/../" RDX_INSTALL_LIBDIR "/rdx";
    AddConnectors(Exists(beside) ? beside : RDX_INSTALL_FULL_LIBDIR "/rdx", links);
    return links;
}

int InitHome(const std::string &folder) {
    const std::string home = PrepareFolder(folder);
    if (home.empty()) return 1;
    std::printf("Home %s:\n", rdxc::VisibleText(home).c_str());
    bool changed = false, made = false;
    if (!WriteQuarryIni(home, made)) {
        std::fprintf(stderr, "rdcsm: cannot write %s/quarry.ini: %s\n",
                     rdxc::VisibleText(home).c_str(), std::strerror(errno));
        return 1;
    }
    Line("quarry.ini", made ? "made" : "kept");
    changed |= made;
    for (const HomeLink &link : InstalledFiles()) {
        const std::string path = home + "/" + link.name;
        if (Exists(path)) {
            KeepLink(link.name, path);
            continue;
        }
        if (symlink(link.target.c_str(), path.c_str()) != 0) {
            std::fprintf(stderr, "rdcsm: cannot link %s: %s\n", rdxc::VisibleText(path).c_str(),
                         std::strerror(errno));
            return 1;
        }
        Line(link.name.c_str(), "linked to ", link.target);
        changed = true;
    }
    const std::string database = home + "/rdcsm.db";
    const bool hadDatabase = Exists(database);
    Store store;
    DbError error;
    if (!store.Open(database, error)) {
        std::fprintf(stderr, "rdcsm: cannot open the database %s: %s\n",
                     rdxc::VisibleText(database).c_str(), error.message.c_str());
        return 1;
    }
    Line("rdcsm.db", hadDatabase ? "kept" : "made");
    PrintUse(home, changed || !hadDatabase);
    return 0;
}

} // namespace rdcsm
