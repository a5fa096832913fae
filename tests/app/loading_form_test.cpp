#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <string>
#include <vector>

#include "app/loading_form.h"
#include "app/settings.h"

namespace {
struct FakeBackend : ITimerBackend {
    explicit FakeBackend(std::vector<int> *starts) : Starts(starts) {}
    void Start(int ms) override { Starts->push_back(ms); }
    void Stop() override {}
    std::vector<int> *Starts;
};

struct LoadingFormTest : ::testing::Test {
    void SetUp() override
    {
        ShowLoading = 500;
        form = new TLoadingForm(nullptr, std::make_unique<FakeBackend>(&starts));
        LoadingForm = form;
    }
    void TearDown() override
    {
        LoadingForm = nullptr;
        delete form;
    }
    std::vector<int> starts;
    TLoadingForm *form = nullptr;
};
} // namespace

TEST_F(LoadingFormTest, ModesSetTheTextAndCloseOrStay)
{
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ShowStatus(QStringLiteral("Соединяемся..."), 1), 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->StatusText(), QStringLiteral("Соединяемся..."));
    EXPECT_EQ(ShowStatus(QStringLiteral("Готово"), 0), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->StatusText(), QStringLiteral("Готово"));
    ShowStatus(QStringLiteral("x"), 7); // an unknown mode only shows the window
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->StatusText(), QStringLiteral("Готово"));
}

TEST_F(LoadingFormTest, ModeTwoHidesAtTheFirstDeadline)
{
    ShowStatus(QStringLiteral("Отправлено"), 2);
    EXPECT_EQ(starts, std::vector<int>{500});
    EXPECT_TRUE(form->isVisible());
    ShowStatus(QStringLiteral("ещё"), 2); // the same interval does not restart the count
    EXPECT_EQ(starts.size(), 1u);
    ShowStatus(QStringLiteral("ещё"), 1);
    form->Timer1.Tick();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Timer1.Interval(), 0);
    EXPECT_FALSE(form->Timer1.Running());
}

TEST_F(LoadingFormTest, ShowLoadingZeroArmsNothing)
{
    ShowLoading = 0;
    ShowStatus(QStringLiteral("стоит"), 2);
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(form->isVisible());
}

TEST(LoadingFormReal, ModeTwoHidesByItself)
{
    TLoadingForm form;
    LoadingForm = &form;
    ShowLoading = 20;
    ShowStatus(QStringLiteral("x"), 2);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
    LoadingForm = nullptr;
}

TEST(LoadingFormReal, NeverTakesTheFocus)
{
    // The offscreen platform activates every window it shows, so what is checked here is what keeps a
    // real window manager from activating it and what keeps the editor's focus in its own window.
    QWidget owner;
    auto *edit = new QLineEdit(&owner);
    owner.show();
    edit->setFocus();
    TLoadingForm form(&owner);
    LoadingForm = &form;
    ShowStatus(QStringLiteral("x"), 1);
    LoadingForm = nullptr;
    EXPECT_TRUE(form.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.focusWidget(), nullptr);
    EXPECT_EQ(owner.focusWidget(), edit);
}

TEST(StatusHook, SeesTheTextsWithoutAWindow)
{
    std::vector<std::pair<QString, int>> seen;
    SetStatusHook([&](const QString &text, int mode) { seen.emplace_back(text, mode); });
    ShowStatus(QStringLiteral("a"), 1);
    ShowStatus(QStringLiteral("b"), 2);
    SetStatusHook({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].first, QStringLiteral("b"));
    EXPECT_EQ(ShowStatus(QStringLiteral("no window"), 1), 0);
}
