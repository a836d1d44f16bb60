// file_layer_test.cpp - the system seam's file calls (core/platform.h) and the
// save and data check built on them, the same on Linux and on Windows: built
// for both, run natively and under Wine. Runs in a fresh folder of its own.
// Exit 0 and a last line "file layer: ok" = pass; a failed check prints a line.
#define ALLEGRO_NO_MAGIC_MAIN // a plain main, on Windows too
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "assets/data_check.h"
#include "core/platform.h"
#include "persist/save_file.h"
#include "state/shell_state.h"

#ifdef _WIN32
#include <direct.h>
#include <winalleg.h> // windows.h as Allegro's headers allow it
#define makeFolder(path) _mkdir(path)
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#define makeFolder(path) mkdir(path, 0755)
#endif

namespace
{

int failures = 0;
void check(bool ok, const std::string &what)
{
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
        ++failures;
    }
}

void writeBytes(const char *path, const std::vector<unsigned char> &bytes)
{
    FILE *f = std::fopen(path, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string readText(const char *path)
{
    FILE *f = std::fopen(path, "rb");
    if (!f)
        return "(missing)";
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += char(c);
    std::fclose(f);
    return text;
}

// Names in the working folder that start with `prefix`.
int countNamed(const char *prefix)
{
    int found = 0;
#ifdef _WIN32
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((std::string(prefix) + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do // "name.*" matches "name" too
            found += std::strncmp(entry.cFileName, prefix, std::strlen(prefix)) == 0;
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
#else
    if (DIR *folder = opendir(".")) {
        while (const dirent *entry = readdir(folder))
            found += std::strncmp(entry->d_name, prefix, std::strlen(prefix)) == 0;
        closedir(folder);
    }
#endif
    return found;
}

std::string expectedSave(int cameraX, int cameraY, int heroX, int heroY)
{
    char text[200];
    std::snprintf(text, sizeof text, "%d\n%d\n%d\n%d\n0\n1\n25\n25\n20\n20\n0\n10\n0\n0\n0\n", cameraX,
                  cameraY, heroX, heroY);
    return text;
}

// A save replaces an existing "heroData.txt" whole, twice, and leaves no
// temporary file.
void savesReplace()
{
    writeBytes(saveFileName, {'o', 'l', 'd', '\n'});
    ShellState state;
    SaveFiles files;
    const int places[2][4] = {{0, 224, 272, 416}, {240, 224, 512, 416}};
    for (const auto &p : places) {
        state.cameraX = p[0], state.cameraY = p[1], state.hero.x = p[2], state.hero.y = p[3];
        const SaveResult result = saveGame(state, files);
        check(result.saved, std::string("a save over an existing file failed: ") + saveFailureText(result));
        check(readText(saveFileName) == expectedSave(p[0], p[1], p[2], p[3]),
              "the save holds " + readText(saveFileName));
    }
    check(countNamed(saveTempPrefix) == 0, "a temporary save file was left");
    removeFile(saveFileName);
}

// A save that cannot be put in place keeps nothing and says why.
void failedSaves()
{
    ShellState state;
    SaveFiles files;
    check(makeFolder(saveFileName) == 0, "no folder could be made for the test");
    SaveResult result = saveGame(state, files);
    check(!result.saved && std::strcmp(saveFailureText(result),
                                       "Could not save: a folder is in the way of \"heroData.txt\"") == 0,
          std::string("a folder at the save's name gave: ") +
              (result.saved ? "saved" : saveFailureText(result)));
    check(countNamed(saveTempPrefix) == 0, "a failed save left its temporary file");
#ifdef _WIN32
    RemoveDirectoryA(saveFileName);
#else
    rmdir(saveFileName);
#endif
    // A save the player made read-only is kept as it is.
    writeBytes(saveFileName, {'o', 'l', 'd', '\n'});
#ifdef _WIN32
    SetFileAttributesA(saveFileName, FILE_ATTRIBUTE_READONLY);
#else
    chmod(saveFileName, 0444);
#endif
    result = saveGame(state, files);
    check(!result.saved &&
              std::strcmp(saveFailureText(result), "Could not save: \"heroData.txt\" is read-only") == 0,
          std::string("a read-only save gave: ") + (result.saved ? "saved" : saveFailureText(result)));
    check(readText(saveFileName) == "old\n", "the read-only save was changed: " + readText(saveFileName));
#ifdef _WIN32
    SetFileAttributesA(saveFileName, FILE_ATTRIBUTE_NORMAL);
#else
    chmod(saveFileName, 0644);
#endif
    removeFile(saveFileName);
#ifdef _WIN32
    // Another program (a virus scanner) holds the old save open, sharing
    // nothing: the replace fails, and the player reads why.
    writeBytes(saveFileName, {'o', 'l', 'd', '\n'});
    const HANDLE held = CreateFileA(saveFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    check(held != INVALID_HANDLE_VALUE, "the old save could not be held open");
    result = saveGame(state, files);
    check(!result.saved && std::strcmp(saveFailureText(result),
                                       "Could not save: another program is using \"heroData.txt\"") == 0,
          std::string("a save held open by another program gave: ") +
              (result.saved ? "saved" : saveFailureText(result)));
    CloseHandle(held);
    check(readText(saveFileName) == "old\n", "the held save was changed: " + readText(saveFileName));
    check(countNamed(saveTempPrefix) == 0, "a failed save left its temporary file");
    removeFile(saveFileName);
#endif
}

// A 26 x 26 BMP: its width, height and every pixel byte are 0x1A, the byte
// that ends a file read in text mode on Windows.
std::vector<unsigned char> bmpOf1A()
{
    const int side = 26, row = (side * 3 + 3) / 4 * 4, pixels = row * side;
    std::vector<unsigned char> b(54 + pixels, 0x1A);
    auto le = [&](int at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[size_t(at + i)] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    le(2, uint32_t(b.size()), 4), le(6, 0, 4), le(10, 54, 4), le(14, 40, 4);
    le(18, side, 4), le(22, side, 4), le(26, 1, 2), le(28, 24, 2), le(30, 0, 4), le(34, uint32_t(pixels), 4);
    le(38, 2835, 4), le(42, 2835, 4), le(46, 0, 4), le(50, 0, 4);
    return b;
}

void binaryReads()
{
    const std::vector<unsigned char> bmp = bmpOf1A();
    writeBytes("slash.bmp", bmp);
    const int fd = openForReading("slash.bmp");
    check(fd >= 0, "the BMP could not be opened");
    if (fd >= 0) {
        std::vector<unsigned char> back(bmp.size() + 16);
        const long got = readAt(fd, 0, back.data(), back.size());
        back.resize(got > 0 ? size_t(got) : 0);
        check(back == bmp, "the BMP holding 0x1A was read as " + std::to_string(got) + " of " +
                               std::to_string(bmp.size()) + " bytes, or changed");
        unsigned char tail[4] = {};
        check(readAt(fd, int64_t(bmp.size()) - 2, tail, 4) == 2 && tail[0] == 0x1A,
              "a read at an offset near the end went wrong");
        closeFile(fd);
    }
    DataFileRule rule = {"slash.bmp", false, 1, 1, false};
    const std::string problem = checkDataFile("", rule);
    check(problem.empty(), "the data check refused the BMP holding 0x1A: " + problem);
    removeFile("slash.bmp");
}

// What is not a regular file is never read: a folder, and a FIFO (a named pipe
// on Windows) or a device. Each opens without waiting and is told apart.
void nonRegularRefused()
{
    check(makeFolder(saveFileName) == 0, "no folder could be made for the test");
    struct Case {
        const char *path;
        FileKind kind;
    };
#ifdef _WIN32
    const HANDLE pipe = CreateNamedPipeA("\\\\.\\pipe\\jewelward-test", PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                         64, 64, 0, nullptr);
    check(pipe != INVALID_HANDLE_VALUE, "no named pipe could be made");
    const Case cases[] = {{saveFileName, FileKind::folder},
                          {"\\\\.\\pipe\\jewelward-test", FileKind::fifo},
                          {"NUL", FileKind::device}};
#else
    check(mkfifo("fifo", 0644) == 0, "no FIFO could be made");
    const Case cases[] = {
        {saveFileName, FileKind::folder}, {"fifo", FileKind::fifo}, {"/dev/null", FileKind::device}};
#endif
    for (const Case &c : cases) {
        const int fd = openForReading(c.path);
        FileStamp stamp;
        check(fd >= 0 && stampOfOpen(fd, stamp) == 0 && stamp.kind == c.kind,
              std::string(c.path) + " was not told apart from a regular file");
        if (fd >= 0)
            closeFile(fd);
    }
    DataFileRule rule = {saveFileName, false, 1, 1, false};
    const std::string problem = checkDataFile("", rule);
    check(problem.rfind("is a folder, not a data file", 0) == 0,
          "the data check said of a folder: " + problem);
#ifdef _WIN32
    CloseHandle(pipe);
    RemoveDirectoryA(saveFileName);
#else
    unlink("fifo");
    rmdir(saveFileName);
#endif
}

// Temporary files of a killed save are removed once stale; nothing else is:
// not the player's own copies, nor the temporary names of 1.1.0, which cannot
// be told from them.
void staleTempFilesRemoved()
{
    const struct {
        const char *name;
        bool removed;
    } cases[] = {
        {"heroData.txt.saving-a1B2c3", true}, {"heroData.txt.saving-ZZ9zz9", true},
        {"heroData.txt.saving-abc12", false}, {"heroData.txt.saving-abc1234", false},
        {"heroData.txt.backup", false},       {"heroData.txt.before", false},
        {"heroData.txt.copy01", false},       {"heroData.txt.a1B2c3", false},
        {"heroData.txt.keep", false},         {saveFileName, false},
    };
    for (const auto &c : cases)
        writeBytes(c.name, std::vector<unsigned char>(c.name, c.name + std::strlen(c.name)));
    const long long now = (long long)std::time(nullptr);
    check(removeStaleSaveTemps(now) == 0, "a temporary file written just now was removed");
    check(removeStaleSaveTemps(now + 3600) == 2, "not exactly the two stale temporary files were removed");
    for (const auto &c : cases) {
        const std::string text = readText(c.name);
        if (c.removed)
            check(text == "(missing)", std::string("the stale temporary file is still there: ") + c.name);
        else
            check(text == c.name, std::string("a file that is not ours was removed or changed: ") + c.name);
        removeFile(c.name);
    }
}

} // namespace

int main()
{
    savesReplace();
    failedSaves();
    binaryReads();
    nonRegularRefused();
    staleTempFilesRemoved();
    std::printf("%s\n", failures ? "file layer: FAILED" : "file layer: ok");
    return failures ? 1 : 0;
}
