#pragma once

#include "Syncsettings.h"
#include "engine/Profile.h"

#include <QList>

#include <optional>

class QTreeWidget;
class QTreeWidgetItem;

namespace kalvex {

// The profiles of the project as the profile list shows them, one row each: the conversion
// between the rows and the profiles lives here alone.
class TProfileList {
public:
    explicit TProfileList(QTreeWidget& list) : m_list(list) {}

    int Count() const;
    std::optional<Profile> At(int index) const;  // nothing for a row that is not there
    QList<Profile> Profiles() const;
    void Replace(const QList<Profile>& profiles);
    // A row with its check box, that cannot be edited in place; the list owns it.
    QTreeWidgetItem* Insert(int index, const Profile& profile);
    int IndexOf(QTreeWidgetItem& row) const;

    static ProfileTexts Texts(const QTreeWidgetItem& row);
    // Texts typed in differ from those read from the project file: they are no longer cut.
    static void SetTexts(QTreeWidgetItem& row, const ProfileTexts& texts);

private:
    QTreeWidget& m_list;
};

}  // namespace kalvex
