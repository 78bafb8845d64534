#include "dialog/dialog_layout.h"

#include <algorithm>

bool takesFocus(ControlKind kind)
{
    switch (kind) {
    case ControlKind::ScrollBar:
    case ControlKind::RadioButton:
    case ControlKind::CheckBox:
    case ControlKind::PushButton:
    case ControlKind::GlyphButton:
        return true;
    case ControlKind::Picture:
    case ControlKind::GroupBox:   // its children take the focus, not the box
    case ControlKind::Label:
    case ControlKind::WrappedLabel:
    case ControlKind::LinkLabel:
        return false;
    }
    return false;
}

std::vector<const ControlDesign*> childrenInCreationOrder(std::span<const ControlDesign> table, int parent)
{
    std::vector<const ControlDesign*> children;
    for (const ControlDesign& control : table)
        if (control.parent == parent && control.kind != ControlKind::Picture)
            children.push_back(&control);
    // Window creation order is the keyboard order; stable keeps the controls
    // without a tab stop (noTabStop sorts first) in table order.
    std::stable_sort(children.begin(), children.end(),
                     [](const ControlDesign* a, const ControlDesign* b) { return a->tabOrder < b->tabOrder; });
    return children;
}

bool startsKeyboardGroup(std::span<const ControlDesign> table, const ControlDesign& control)
{
    if (!takesFocus(control.kind))
        return false;
    if (control.kind == ControlKind::PushButton || control.kind == ControlKind::GlyphButton)
        return true;
    for (const ControlDesign* sibling : childrenInCreationOrder(table, control.parent))
        if (takesFocus(sibling->kind))
            return sibling == &control;
    return false;
}

const ControlDesign* findControl(std::span<const ControlDesign> table, int id)
{
    for (const ControlDesign& control : table)
        if (control.id == id)
            return &control;
    return nullptr;
}
