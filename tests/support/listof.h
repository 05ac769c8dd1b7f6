// One text per item of a list, for comparing what a call returned in one line.
#pragma once

#include <QStringList>
#include <QVariant>

#include <functional>

// The field (a member pointer) or whatever the function takes from each item, as text.
template <typename Items, typename Field> QStringList listOf(const Items& items, Field field) {
    QStringList texts;
    for (const auto& item : items)
        texts << QVariant::fromValue(std::invoke(field, item)).toString();
    return texts;
}
