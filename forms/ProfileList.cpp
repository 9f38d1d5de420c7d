#include "ProfileList.h"

#include <QTreeWidget>

#include <memory>

namespace kalvex {

namespace {

// Where a row keeps that its texts, as read from the project file, may have been cut.
constexpr int kMayBeCutRole = Qt::UserRole;

}  // namespace

int TProfileList::Count() const {
    return m_list.topLevelItemCount();
}

std::optional<Profile> TProfileList::At(int index) const {
    const QTreeWidgetItem* row = m_list.topLevelItem(index);
    if (row == nullptr) {
        return std::nullopt;
    }
    return Profile{row->checkState(0) == Qt::Checked, row->text(0), row->text(1), row->text(2),
                   row->data(0, kMayBeCutRole).toBool()};
}

QList<Profile> TProfileList::Profiles() const {
    QList<Profile> profiles;
    for (int index = 0; index < Count(); ++index) {
        profiles.append(*At(index));
    }
    return profiles;
}

void TProfileList::Replace(const QList<Profile>& profiles) {
    m_list.clear();
    for (const Profile& profile : profiles) {
        Insert(Count(), profile);
    }
}

QTreeWidgetItem* TProfileList::Insert(int index, const Profile& profile) {
    auto row =
        std::make_unique<QTreeWidgetItem>(QStringList{profile.Name, profile.DirA, profile.DirB});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(0, profile.Checked ? Qt::Checked : Qt::Unchecked);
    row->setData(0, kMayBeCutRole, profile.MayBeCut);
    m_list.insertTopLevelItem(index, row.get());
    return row.release();  // the list owns it now
}

int TProfileList::IndexOf(QTreeWidgetItem& row) const {
    return m_list.indexOfTopLevelItem(&row);
}

ProfileTexts TProfileList::Texts(const QTreeWidgetItem& row) {
    return {row.text(0), row.text(1), row.text(2)};
}

void TProfileList::SetTexts(QTreeWidgetItem& row, const ProfileTexts& texts) {
    if (texts != Texts(row)) {
        row.setData(0, kMayBeCutRole, false);  // typed, not read from the file
    }
    row.setText(0, texts.Name);
    row.setText(1, texts.DirA);
    row.setText(2, texts.DirB);
}

}  // namespace kalvex
