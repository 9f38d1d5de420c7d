#include "RunFixture.h"

#include "platform/FileTime.h"

namespace kalvex::test {

QString TimeText(int seconds) {
    return platform::TimeTextFormat().Text(platform::PackFileTime(kBaseTime + seconds));
}

Profile RunSandbox::MakeProfile(const QString& name, const std::vector<Node>& a,
                                const std::vector<Node>& b, bool checked) const {
    m_sandbox.Make(name + "/A", a);
    m_sandbox.Make(name + "/B", b);
    return {checked, name, m_sandbox.Path(name + "/A"), m_sandbox.Path(name + "/B")};
}

}  // namespace kalvex::test
