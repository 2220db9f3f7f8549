#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>

// File permissions bind root only on a read-only file system. While an OrdinaryUser lives, a test that runs
// as root acts as the user nobody (65534), so that a read-only folder or file refuses it as it would refuse
// any user; run as anyone else, it changes nothing.
namespace rw::test {

class OrdinaryUser {
  public:
    OrdinaryUser() : switched_(::geteuid() == 0) {
        if (switched_) {
            active_ = ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0;
        }
    }
    ~OrdinaryUser() {
        if (switched_) {
            [[maybe_unused]] const int u = ::seteuid(0);
            [[maybe_unused]] const int g = ::setegid(0);
        }
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

    // False when the switch was needed and failed: permission checks would then not bind.
    bool active() const { return !switched_ || active_; }

    // Opens a folder of the test's (made by root, owner-only) to the ordinary user.
    static void share(const QString& folder) { ::chmod(QFile::encodeName(folder).constData(), 0777); }

  private:
    static constexpr uid_t kNobody = 65534;
    bool switched_;
    bool active_ = false;
};

}  // namespace rw::test
