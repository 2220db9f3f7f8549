#include "app/person_picker.h"

#include <QCheckBox>
#include <QCollator>
#include <QCollatorSortKey>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace rw {

namespace {

constexpr int kColumns = 3;  // name, years, record id
constexpr int kMaxGenerations = 15;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

PeopleModel::PeopleModel(const family::FamilyFile& file, QObject* parent)
    : QAbstractTableModel(parent), file_(file) {
    const auto& people = file_.people;
    QCollator collator;  // the locale's
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> surnames;
    std::vector<QCollatorSortKey> names;
    surnames.reserve(people.size());
    names.reserve(people.size());
    folded_.reserve(people.size());
    for (const family::Person& p : people) {
        const std::string name = family::displayName(p);
        surnames.push_back(collator.sortKey(qs(p.surname)));
        names.push_back(collator.sortKey(qs(name)));
        // A separator no typed text holds keeps a match inside the name or inside the id.
        folded_.push_back(family::foldForSearch(name) + '\x1f' + family::foldForSearch(p.id));
    }
    sorted_.resize(people.size());
    std::iota(sorted_.begin(), sorted_.end(), family::PersonIndex{0});
    std::stable_sort(sorted_.begin(), sorted_.end(), [&](family::PersonIndex a, family::PersonIndex b) {
        const auto ua = static_cast<std::size_t>(a);
        const auto ub = static_cast<std::size_t>(b);
        const bool noA = people[ua].surname.empty();
        const bool noB = people[ub].surname.empty();
        if (noA != noB) {
            return noB;  // people without a surname last
        }
        if (const int c = surnames[ua].compare(surnames[ub]); c != 0) {
            return c < 0;
        }
        return names[ua].compare(names[ub]) < 0;
    });
    shown_ = sorted_;
}

int PeopleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int PeopleModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant PeopleModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const family::Person& p =
        file_.people[static_cast<std::size_t>(shown_[static_cast<std::size_t>(index.row())])];
    switch (index.column()) {
        case 0:
            return qs(family::displayName(p));
        case 1:
            return qs(family::yearsText(p));
        default:
            return qs(p.id);
    }
}

QVariant PeopleModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const titles[kColumns] = {"Name", "Years", "Record"};
    return section >= 0 && section < kColumns ? QString::fromLatin1(titles[section]) : QVariant();
}

void PeopleModel::setFilter(const QString& text) {
    const std::string wanted = family::foldForSearch(text.trimmed().toStdString());
    beginResetModel();
    if (wanted.empty()) {
        shown_ = sorted_;
    } else {
        shown_.clear();
        for (family::PersonIndex p : sorted_) {
            if (folded_[static_cast<std::size_t>(p)].find(wanted) != std::string::npos) {
                shown_.push_back(p);
            }
        }
    }
    endResetModel();
}

family::PersonIndex PeopleModel::personAt(int row) const {
    return row >= 0 && row < rowCount() ? shown_[static_cast<std::size_t>(row)] : family::kNoPerson;
}

int PeopleModel::rowOf(family::PersonIndex person) const {
    const auto it = std::find(shown_.begin(), shown_.end(), person);
    return it == shown_.end() ? -1 : static_cast<int>(it - shown_.begin());
}

PersonPickerDialog::PersonPickerDialog(const family::FamilyFile& file, family::PersonIndex preselected,
                                       bool hideLivingPeople, QWidget* parent)
    : QDialog(parent), file_(file) {
    setObjectName(QStringLiteral("PersonPicker"));
    setWindowTitle(QStringLiteral("Choose the Person"));
    auto* layout = new QVBoxLayout(this);
    filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("PersonFilter"));
    filter->setPlaceholderText(QStringLiteral("Search by name or record id"));
    filter->setClearButtonEnabled(true);
    list = new QTreeView(this);
    list->setObjectName(QStringLiteral("PersonList"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    model = new PeopleModel(file, this);
    list->setModel(model);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    generations = new QLabel(this);
    generations->setObjectName(QStringLiteral("PersonGenerations"));
    hideLiving = new QCheckBox(QStringLiteral("hide living people"), this);
    hideLiving->setObjectName(QStringLiteral("HideLiving"));
    hideLiving->setChecked(hideLivingPeople);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(filter);
    layout->addWidget(list);
    layout->addWidget(generations);
    layout->addWidget(hideLiving);
    layout->addWidget(buttons);
    resize(560, 480);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QTreeView::activated, this, &QDialog::accept);
    connect(filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        const family::PersonIndex before = choice().person;
        model->setFilter(text);
        const int row = model->rowOf(before);
        select(row >= 0 ? row : 0);
    });
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { showGenerations(); });
    filter->installEventFilter(this);
    filter->setFocus();
    select(std::max(0, model->rowOf(preselected)));
    showGenerations();
}

void PersonPickerDialog::select(int row) {
    if (model->rowCount() == 0) {
        list->setCurrentIndex({});
        showGenerations();
        return;
    }
    const QModelIndex index = model->index(std::clamp(row, 0, model->rowCount() - 1), 0);
    list->setCurrentIndex(index);
    list->scrollTo(index);
}

void PersonPickerDialog::showGenerations() {
    const family::PersonIndex person = choice().person;
    generations->setText(person == family::kNoPerson
                             ? QStringLiteral("No one matches.")
                             : QStringLiteral("Generations known: %1")
                                   .arg(family::knownDepth(file_, person, kMaxGenerations)));
}

PersonChoice PersonPickerDialog::choice() const {
    return {model->personAt(list->currentIndex().isValid() ? list->currentIndex().row() : -1),
            hideLiving->isChecked()};
}

bool PersonPickerDialog::eventFilter(QObject* watched, QEvent* event) {
    // Typing stays in the search box; the arrows and page keys move through the list, Enter picks.
    if (watched == filter && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int row = list->currentIndex().isValid() ? list->currentIndex().row() : -1;
        const int page = std::max(1, list->viewport()->height() / std::max(1, list->sizeHintForRow(0)));
        switch (key->key()) {
            case Qt::Key_Down:
                select(row + 1);
                return true;
            case Qt::Key_Up:
                select(row - 1);
                return true;
            case Qt::Key_PageDown:
                select(row + page);
                return true;
            case Qt::Key_PageUp:
                select(row - page);
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (choice().person != family::kNoPerson) {
                    accept();
                }
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<PersonChoice> DialogPersonPicker::pick(QWidget& parent, const family::FamilyFile& file,
                                                     family::PersonIndex preselected, bool hideLiving) {
    PersonPickerDialog dialog(file, preselected, hideLiving, &parent);
    if (dialog.exec() != QDialog::Accepted || dialog.choice().person == family::kNoPerson) {
        return std::nullopt;
    }
    return dialog.choice();
}

family::PersonIndex preselectedPerson(const family::FamilyFile& file, const QString& nameText) {
    const std::string ref = nameText.trimmed().toStdString();
    if (!ref.empty()) {
        std::vector<family::PersonIndex> partial;
        const std::vector<family::PersonIndex> exact = family::findPeople(file, ref, &partial);
        if (!exact.empty()) {
            return exact.front();
        }
        if (!partial.empty()) {
            return partial.front();
        }
    }
    return file.people.empty() ? family::kNoPerson : 0;
}

}  // namespace rw
