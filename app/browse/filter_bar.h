#pragma once
// The filter bar above the file list (Ctrl+F): a name to look for (part of it, or a
// wildcard pattern), in the folder shown or the whole volume, with toggles for deleted
// entries only, a condition, and ranges of size and creation date. It only gathers the
// choice; the entries that pass are decided by the core (session/entry_filter.h).
#include <QWidget>

#include "session/entry_filter.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QTimer;

namespace tarvik {

class CFilterBar : public QWidget {
    Q_OBJECT
  public:
    explicit CFilterBar(QWidget* parent = nullptr);

    // The choice as the core takes it.
    EntryFilter Filter() const;
    // Whether the list shows the whole volume's entries that pass, not the folder's.
    bool WholeVolume() const;
    // Nothing is asked for: the list shows the folder as it is.
    bool Idle() const;

    // Shows the bar with the focus in the name field; Close hides it and lets go of
    // every choice.
    void Open();
    void Close();

    QLineEdit* NameField() const { return name_; }
    QComboBox* ScopeBox() const { return scope_; }
    QCheckBox* DeletedBox() const { return deleted_; }
    QComboBox* ConditionBox() const { return condition_; }
    QLineEdit* MinSizeField() const { return minSize_; }
    QLineEdit* MaxSizeField() const { return maxSize_; }

  signals:
    // The choice changed (a pause after typing, at once for the toggles).
    void Changed();
    void Closed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QLineEdit* name_;
    QComboBox* scope_;
    QCheckBox* deleted_;
    QComboBox* condition_;
    QLineEdit* minSize_;
    QLineEdit* maxSize_;
    QCheckBox* dated_;
    QDateEdit* from_;
    QDateEdit* to_;
    QTimer* typing_;
};

// A size as typed: "1500", "64K", "2.5M", "1G" (binary units); nothing when empty or
// not a size.
std::optional<std::uint64_t> ParseSizeText(const QString& text);

}  // namespace tarvik
