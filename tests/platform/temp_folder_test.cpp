#include "platform/temp_folder.h"

#include "platform/failure.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The one rule for temporary files: "temp", else TMPDIR, else /tmp, each only when set and not empty.
namespace rw::tempfolder {
namespace {

class Variables {
  public:
    Variables() {
        for (const char* name : {"temp", "TMPDIR"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
        }
    }
    ~Variables() {
        for (const auto& [name, value] : saved_) {
            set(name, value);
        }
    }
    static void set(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(TemporaryFolder, TempThenTmpdirThenTheSystemDefault) {
    const Variables restore;
    struct Case {
        std::optional<std::string> temp;
        std::optional<std::string> tmpdir;
        std::string folder;
        std::string variable;
    };
    const Case cases[] = {
        {"/srv/scratch/", "/var/tmp", "/srv/scratch", "temp"},
        {"", "/var/tmp//", "/var/tmp", "TMPDIR"},
        {std::nullopt, "/var/tmp", "/var/tmp", "TMPDIR"},
        {"", "", "/tmp", ""},
        {std::nullopt, std::nullopt, "/tmp", ""},
        {"/", std::nullopt, "/", "temp"},
    };
    for (const Case& c : cases) {
        Variables::set("temp", c.temp);
        Variables::set("TMPDIR", c.tmpdir);
        const Choice choice = chosen();
        EXPECT_EQ(choice.folder, c.folder)
            << c.temp.value_or("(unset)") << " " << c.tmpdir.value_or("(unset)");
        EXPECT_EQ(choice.variable, c.variable) << c.folder;
    }
}

TEST(TemporaryFolder, AMissingFolderIsOneMessageNamingItAndItsVariable) {
    const Variables restore;
    ::setenv("temp", "", 1);
    ::setenv("TMPDIR", "/nonexistent-rootweave", 1);
    try {
        usable();
        ADD_FAILURE() << "a missing folder was taken";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(),
                     "The temporary folder \"/nonexistent-rootweave\" does not exist (it comes from the "
                     "environment variable TMPDIR).");
    }
}

}  // namespace
}  // namespace rw::tempfolder
