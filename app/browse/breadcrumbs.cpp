#include "app/browse/breadcrumbs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <algorithm>
#include <vector>

namespace tarvik {

CBreadcrumbs::CBreadcrumbs(QWidget* parent) : QWidget(parent), layout_(new QHBoxLayout(this)) {
    setObjectName(QStringLiteral("breadcrumbs"));
    layout_->setContentsMargins(4, 1, 4, 1);
    layout_->setSpacing(0);
    layout_->addStretch(1);
}

void CBreadcrumbs::Clear() {
    while (layout_->count() > 1) {
        QLayoutItem* item = layout_->takeAt(0);
        delete item->widget();
        delete item;
    }
    names_.clear();
}

void CBreadcrumbs::ShowFolder(const CheckTree* tree, const Catalogue* catalogue,
                              CheckTree::FolderNode node, const QString& note) {
    Clear();
    if (tree == nullptr || catalogue == nullptr || node >= tree->FolderNodeCount()) return;
    std::vector<CheckTree::FolderNode> path{node};
    // The tree has no loops, but a bound costs nothing.
    while (path.size() <= tree->FolderNodeCount()) {
        const auto parent = tree->ParentFolder(path.back());
        if (!parent) break;
        path.push_back(*parent);
    }
    std::reverse(path.begin(), path.end());
    int at = 0;
    for (const CheckTree::FolderNode step : path) {
        QString name = QStringLiteral("Root");
        if (const auto position = tree->FolderPosition(step)) {
            const CatalogueEntry& entry = catalogue->At(tree->Placed()[*position].catalogueIndex);
            name =
                QString::fromUtf8(entry.Name().data(), static_cast<qsizetype>(entry.Name().size()));
        }
        if (at > 0) layout_->insertWidget(at++, new QLabel(QStringLiteral(" \u203A "), this));
        auto* button = new QToolButton(this);
        button->setText(name);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, step] { emit FolderChosen(step); });
        layout_->insertWidget(at++, button);
        names_ << name;
    }
    if (!note.isEmpty()) layout_->insertWidget(at, new QLabel(QStringLiteral("   ") + note, this));
}

}  // namespace tarvik
