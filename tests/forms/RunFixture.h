#pragma once

#include "Sandbox.h"
#include "engine/Profile.h"

#include <QString>

#include <vector>

namespace kalvex::test {

// The packed-time text the log list shows for a file stamped `seconds` after kBaseTime.
QString TimeText(int seconds);

// A sandbox with named profiles: each gets folders NAME/A and NAME/B built from the nodes.
class RunSandbox {
public:
    Profile MakeProfile(const QString& name, const std::vector<Node>& a, const std::vector<Node>& b,
                        bool checked = true) const;
    QString Path(const QString& relative) const { return m_sandbox.Path(relative); }
    QStringList Describe(const QString& root) const { return m_sandbox.Describe(root); }

private:
    Sandbox m_sandbox;
};

}  // namespace kalvex::test
