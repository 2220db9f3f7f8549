#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "family/family.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTreeView;
class QWidget;

namespace rw {

// Who the chart is for, chosen among the people of a family file, and whether living people are hidden.
struct PersonChoice {
    family::PersonIndex person = family::kNoPerson;
    bool hideLiving = false;
};

// The person picker as the main window sees it: a modal question, answered by a dialog in the program and by
// a script in tests.
class PersonPicker {
  public:
    virtual ~PersonPicker() = default;
    // Nothing when the user cancels.
    virtual std::optional<PersonChoice> pick(QWidget& parent, const family::FamilyFile& file,
                                             family::PersonIndex preselected, bool hideLiving) = 0;
};

// The people of a family file as the picker lists them: name, years and record id, sorted by surname in the
// locale's collation (people without a surname last), filtered by any part of the name or the record id,
// without regard to case or accents.
class PeopleModel : public QAbstractTableModel {
  public:
    explicit PeopleModel(const family::FamilyFile& file, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Shows only the people matching `text` (all for an empty text).
    void setFilter(const QString& text);
    family::PersonIndex personAt(int row) const;
    int rowOf(family::PersonIndex person) const;  // -1 when filtered out

  private:
    const family::FamilyFile& file_;
    std::vector<family::PersonIndex> sorted_;  // everyone, in list order
    std::vector<std::string> folded_;          // by person: folded name and record id, for the filter
    std::vector<family::PersonIndex> shown_;
};

class PersonPickerDialog : public QDialog {
  public:
    PersonPickerDialog(const family::FamilyFile& file, family::PersonIndex preselected, bool hideLiving,
                       QWidget* parent = nullptr);

    PersonChoice choice() const;

    // Controls, for the keyboard and for tests.
    QLineEdit* filter = nullptr;
    QTreeView* list = nullptr;
    QLabel* generations = nullptr;  // how many generations are known for the selected person
    QCheckBox* hideLiving = nullptr;
    PeopleModel* model = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void select(int row);
    void showGenerations();

    const family::FamilyFile& file_;
};

// The picker of the program: the dialog, run modally.
class DialogPersonPicker : public PersonPicker {
  public:
    std::optional<PersonChoice> pick(QWidget& parent, const family::FamilyFile& file,
                                     family::PersonIndex preselected, bool hideLiving) override;
};

// The person the picker starts on for the name typed in "Family Tree For": the one with that record id or
// that whole name, else the first whose name contains it, else the first of the file.
family::PersonIndex preselectedPerson(const family::FamilyFile& file, const QString& nameText);

}  // namespace rw
