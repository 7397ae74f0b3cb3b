#pragma once
// Controls, menu items and dialogs are known by their resource numbers. Every window
// that carries one has the number as its object name, so code and tests find a control
// by number: FindControl<QPushButton>(dialog, IDC_SEARCH_TYPE_OK).
#include <QObject>
#include <QString>

namespace tarvik {

inline QString ControlName(int id) {
    return QString::number(id);
}

inline void SetControlId(QObject* object, int id) {
    object->setObjectName(ControlName(id));
}

template <typename T>
T* FindControl(const QObject* root, int id) {
    return root->findChild<T*>(ControlName(id));
}

}  // namespace tarvik
