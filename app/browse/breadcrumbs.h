#pragma once
// The path of the folder the list shows, above the list: "Root > Photos > Holiday 2019",
// one button per folder; a click shows that folder.
#include <QWidget>

#include "session/check_tree.h"

class QHBoxLayout;

namespace tarvik {

class CBreadcrumbs : public QWidget {
    Q_OBJECT
  public:
    explicit CBreadcrumbs(QWidget* parent = nullptr);

    // Shows the path to `node` (no tree: nothing); `note` follows it ("12 found").
    void ShowFolder(const CheckTree* tree, const Catalogue* catalogue, CheckTree::FolderNode node,
                    const QString& note = {});
    // The folder names shown, Root first.
    QStringList Names() const { return names_; }

  signals:
    void FolderChosen(tarvik::CheckTree::FolderNode node);

  private:
    void Clear();

    QHBoxLayout* layout_;
    QStringList names_;
};

}  // namespace tarvik
