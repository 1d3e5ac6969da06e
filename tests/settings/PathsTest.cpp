// The application directory, the settings path derived from the executable's path, where the
// files live, and the preparation of the per-user folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>

#include "runtime/RuntimeError.h"
#include "settings/mCrypt.h"
#include "support/TestFiles.h"

namespace orvane::mCrypt {
namespace {

TEST(Paths, AppDirEndsWithExactlyOneSlash) {
    const struct {
        const char* executable;
        const char* appDir;
    } cases[] = {{"/opt/orvane/orvane", "/opt/orvane/"},
                 {"/orvane", "/"},
                 {"//orvane", "/"},
                 {"/a//b//orvane", "/a//b/"},
                 {"relative/orvane", "relative/"},
                 {"orvane", "./"}};
    for (const auto& c : cases)
        EXPECT_EQ(AppDirFromExecutablePath(c.executable).native(), c.appDir) << c.executable;

    // This test program's own folder and name.
    EXPECT_EQ((AppDir() / ExecutableName()).native(),
              std::filesystem::read_symlink("/proc/self/exe").native());
    EXPECT_EQ(ExecutableName(), "settings_tests");
}

TEST(Paths, SettingsFileIsTheNameWithoutItsLastExtension) {
    const struct {
        const char* appDir;
        const char* exeName;
        const char* path;
    } cases[] = {{"/opt/orvane/", "orvane", "/opt/orvane/orvane.ini"},
                 {"C/Tools/", "Orvane.exe", "C/Tools/Orvane.ini"},
                 {"/x/", "my.tool.exe", "/x/my.tool.ini"},
                 {"/x/", ".orvane", "/x/.orvane.ini"},
                 {"/x", "orvane", "/x/orvane.ini"},
                 {"/x/", "/elsewhere/orvane", "/x/orvane.ini"}};
    for (const auto& c : cases)
        EXPECT_EQ(SettingsPathFor(c.appDir, c.exeName).native(), c.path) << c.exeName;
}

// The paths as written, one separator between names, each folder with one at its end.
std::string Text(const FileLocations& locations) {
    return locations.settingsFile.native() + " " + locations.stateDir.native() + " " +
           locations.runtimeDir.native() + (locations.portable ? " portable" : "");
}

TEST(Paths, FilesLiveBesideTheProgramOrInTheUsersFolders) {
    using Variables = std::map<std::string, std::string>;
    const Variables home = {{"HOME", "/home/u"}};
    const std::string defaults =
        "/home/u/.config/orvane/orvane.ini /home/u/.local/state/orvane/ "
        "/home/u/.local/state/orvane/";
    const std::string portable = "/usr/bin/orvane.ini /usr/bin/ /usr/bin/ portable";
    const struct {
        const char* what;
        bool beside;
        Variables variables;
        std::optional<std::string> expected;  // none: an error naming the file looked for
    } cases[] = {
        {"ini beside, no HOME", true, {}, portable},
        {"empty HOME", false, {{"HOME", ""}}, std::nullopt},
        {"relative HOME", false, {{"HOME", "home/u"}}, std::nullopt},
        {"nothing set", false, home, defaults},
        {"HOME with a trailing slash", false, {{"HOME", "/home/u/"}}, defaults},
        {"all set",
         false,
         {{"HOME", "/home/u"},
          {"XDG_CONFIG_HOME", "/c"},
          {"XDG_STATE_HOME", "/s/"},
          {"XDG_RUNTIME_DIR", "/run/user/7"}},
         "/c/orvane/orvane.ini /s/orvane/ /run/user/7/orvane/"},
        {"empty or relative values are ignored",
         false,
         {{"HOME", "/home/u"},
          {"XDG_CONFIG_HOME", ""},
          {"XDG_STATE_HOME", "./s"},
          {"XDG_RUNTIME_DIR", "run"}},
         defaults},
        {"a service's folders, without HOME",
         false,
         {{"CONFIGURATION_DIRECTORY", "/etc/orvane"},
          {"STATE_DIRECTORY", "/var/lib/orvane:/var/lib/other"},
          {"RUNTIME_DIRECTORY", "/run/orvane/"},
          {"XDG_STATE_HOME", "/s"}},
         "/etc/orvane/orvane.ini /var/lib/orvane/ /run/orvane/"},
        {"a service's state folder only, also for the run-time files",
         false,
         {{"HOME", "/home/u"}, {"STATE_DIRECTORY", "/var/lib/orvane"}},
         "/home/u/.config/orvane/orvane.ini /var/lib/orvane/ /var/lib/orvane/"},
        {"a service's relative folder counts as unset",
         false,
         {{"HOME", "/home/u"}, {"STATE_DIRECTORY", "lib"}},
         defaults},
        {"a service's folders but one, without HOME",
         false,
         {{"CONFIGURATION_DIRECTORY", "/etc/orvane"}, {"STATE_DIRECTORY", "/var/lib/orvane"}},
         "/etc/orvane/orvane.ini /var/lib/orvane/ /var/lib/orvane/"},
        {"ini beside wins over a service's folders",
         true,
         {{"STATE_DIRECTORY", "/var/lib/orvane"}},
         portable},
    };
    for (const auto& c : cases) {
        const auto lookup = [&c](const char* name) -> const char* {
            const auto found = c.variables.find(name);
            return found == c.variables.end() ? nullptr : found->second.c_str();
        };
        try {
            EXPECT_EQ(Text(ChooseFileLocations("/usr/bin/", "orvane", c.beside, lookup)),
                      c.expected)
                << c.what;
        } catch (const RuntimeError& error) {
            EXPECT_FALSE(c.expected) << c.what << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find("/usr/bin/orvane.ini"), std::string::npos)
                << error.what();
        }
    }
}

TEST(Paths, PerUserFoldersAreTheUsersOwnAndPlain) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    fs::create_directory(dir / "present");
    fs::permissions(dir / "present", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory(dir / "shared");
    fs::permissions(dir / "shared", fs::perms::all, fs::perm_options::replace);
    fs::create_directory(dir / "readonly");
    fs::permissions(dir / "readonly", fs::perms::owner_read | fs::perms::owner_exec,
                    fs::perm_options::replace);
    fs::create_directory_symlink(dir / "present", dir / "linked");
    test::WriteText(dir / "file", "");
    const struct {
        const char* folder;
        bool accepted;
    } cases[] = {{"missing/parent/orvane/", true},
                 {"present/", true},
                 {"shared", false},
                 {"readonly/", false},
                 {"linked/", false},
                 {"file/", false}};
    for (const auto& c : cases) {
        const std::string folder = dir / c.folder;
        try {
            PrepareFolder(folder);
            EXPECT_TRUE(c.accepted) << c.folder;
        } catch (const RuntimeError& error) {
            EXPECT_FALSE(c.accepted) << c.folder << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(dir / ""), std::string::npos) << error.what();
            continue;
        }
        struct stat info {};
        ASSERT_EQ(::lstat(folder.c_str(), &info), 0) << c.folder;
        EXPECT_EQ(info.st_mode & (S_IFMT | 0777), S_IFDIR | 0700u) << c.folder;
    }
    struct stat parent {};
    ASSERT_EQ(::stat((dir / "missing/parent").c_str(), &parent), 0);
    EXPECT_EQ(parent.st_mode & 0777, 0700u) << "a missing parent is created owner-only";
}

// Whoever may change the settings chooses where the uploads go.
TEST(Paths, PerUserSettingsAreTheUsersOwn) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const bool root = geteuid() == 0;
    const auto folder = [&](const char* name, fs::perms perms) {
        fs::create_directory(dir / name);
        fs::permissions(dir / name, perms, fs::perm_options::replace);
    };
    const auto file = [&](const char* name, fs::perms perms) {
        test::WriteText(dir / name, "[GENERAL]\n");
        fs::permissions(dir / name, perms, fs::perm_options::replace);
    };
    folder("own", fs::perms::owner_all);
    folder("shared", fs::perms::all);
    folder("kept", fs::perms::owner_read | fs::perms::owner_exec);
    folder("others", fs::perms::owner_all);
    fs::create_directory_symlink(dir / "own", dir / "linked");
    file("own/orvane.ini", fs::perms::owner_read | fs::perms::owner_write);
    file("own/group.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write);
    file("own/others.ini", fs::perms::owner_read | fs::perms::owner_write);
    if (root) {
        ASSERT_EQ(chown((dir / "others").c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown((dir / "own/others.ini").c_str(), 65534, 65534), 0);
    }
    const struct {
        const char* settings;
        const char* refused;  // what the error names; null: accepted
        bool needsRoot = false;
    } cases[] = {{"missing/orvane.ini", nullptr},      {"own/none.ini", nullptr},
                 {"own/orvane.ini", nullptr},          {"kept/orvane.ini", nullptr},
                 {"own/group.ini", "own/group.ini"},   {"own/others.ini", "own/others.ini", true},
                 {"shared/orvane.ini", "shared"},      {"linked/orvane.ini", "linked"},
                 {"others/orvane.ini", "others", true}};
    for (const auto& c : cases) {
        if (c.needsRoot && !root) continue;  // only root can give a file away
        try {
            RequireOwnSettings(dir / c.settings);
            EXPECT_FALSE(c.refused) << c.settings;
        } catch (const RuntimeError& error) {
            ASSERT_TRUE(c.refused) << c.settings << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(dir / c.refused + ":"), std::string::npos)
                << error.what();
        }
    }
    EXPECT_FALSE(fs::exists(dir / "missing")) << "nothing is created";
}

}  // namespace
}  // namespace orvane::mCrypt
