#pragma once
// A table of windows, each made in a state that shows its own texts, checked as the engineer sees it.
#include <gtest/gtest.h>

#include <QSize>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "tests/support/layout_check.h"

struct LayoutCase {
    const char *name;
    QSize designed; // the client size the window is made with
    std::function<std::unique_ptr<QWidget>()> make;
};

// Each window shown keeps its designed size (a layout that needs more room grows it) and shows every
// text whole.
inline void ExpectLaidOutAsDesigned(const std::vector<LayoutCase> &cases)
{
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QWidget> window = c.make();
        window->show();
        EXPECT_EQ(window->size(), c.designed);
        EXPECT_EQ(LayoutReport(window.get()), "");
    }
}
