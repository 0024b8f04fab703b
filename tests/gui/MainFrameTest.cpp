#include <gtest/gtest.h>
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>

#include "GuiTestSupport.h"
#include "ui/COrvView.h"
#include "ui/CParamsDlg.h"

namespace {

using orv::test::OpenFrame;

QMenu* popup(const orv::ui::CMainFrame& frame, int index) {
    return frame.menuBar()->actions().at(index)->menu();
}

// One row of a popup: a separator when `text` is null.
struct Item {
    const char* text;
    const char* shortcut;
    int id;
    const char* prompt;
    bool enabled = true;
};

void expectItems(const QMenu* menu, const std::vector<Item>& expected) {
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.size()))
        << menu->title().toStdString();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QAction* action = actions[static_cast<qsizetype>(i)];
        const Item& item = expected[i];
        SCOPED_TRACE("item " + std::to_string(i) + " of " + menu->title().toStdString());
        if (item.text == nullptr) {
            EXPECT_TRUE(action->isSeparator());
            continue;
        }
        EXPECT_EQ(action->text(), QString::fromUtf8(item.text));
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut)));
        EXPECT_EQ(action->data().toInt(), item.id);
        EXPECT_EQ(action->statusTip(), QString::fromUtf8(item.prompt));
        EXPECT_EQ(action->isEnabled(), item.enabled);
    }
}

TEST(MainFrame, MenuBarHoldsFileIfsAndHelpPopupsWithTheirItems) {
    OpenFrame open;
    const auto& frame = *open.frame;
    const QList<QAction*> titles = frame.menuBar()->actions();
    ASSERT_EQ(titles.size(), 3);
    EXPECT_EQ(titles[0]->text(), QStringLiteral("&Файл"));
    EXPECT_EQ(titles[1]->text(), QStringLiteral("&СИФ"));
    EXPECT_EQ(titles[2]->text(), QStringLiteral("&?"));

    expectItems(popup(frame, 0),
                {{"Созд&ать", "Ctrl+N", 57600, "Создание нового документа"},
                 {"&Открыть...", "Ctrl+O", 57601, "Открытие существующего документа"},
                 {"&Сохранить", "Ctrl+S", 57603, "Сохранение текущего документа"},
                 {"Сохранить &как...", "", 57604, "Сохранение документа под новым именем"},
                 {"Сохранить как &BMP...", "", 32775, ""},
                 {nullptr, nullptr, 0, nullptr},
                 {"Недавно открытый файл", "", 57616, "Открыть этот документ", false},
                 {nullptr, nullptr, 0, nullptr},
                 {"В&ыход", "", 57665, "Выход из приложения"}});
    expectItems(popup(frame, 1),
                {{"&Параметры...", "Ctrl+P", 32773, "Задание афинных преобразований СИФ"}});
    expectItems(popup(frame, 2), {{"&О программе...", "F1", 57664, "Информация о программе"}});
}

TEST(MainFrame, CommandIdsFindTheirItems) {
    OpenFrame open;
    for (int id : {57600, 57601, 57603, 57604, 32775, 57616, 57665, 32773, 57664}) {
        const QAction* action = open.frame->action(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_EQ(action->data().toInt(), id);
    }
    EXPECT_EQ(open.frame->action(57605), nullptr);
}

TEST(MainFrame, CaptionIsTheDocumentTitleThenTheProgramTitle) {
    OpenFrame open;
    EXPECT_EQ(open.frame->windowTitle(),
              QStringLiteral("Untitled - Программа эмуляции системы итерированных функций"));

    open.doc.setTitle("fern.orv");
    open.frame->OnUpdateFrameTitle();
    EXPECT_EQ(open.frame->windowTitle(),
              QStringLiteral("fern.orv - Программа эмуляции системы итерированных функций"));
}

TEST(MainFrame, OpensCentredOnThePrimaryScreenWithRoomForA512Picture) {
    OpenFrame open;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offCentre = open.frame->frameGeometry().center() - area.center();
    EXPECT_LE(offCentre.manhattanLength(), 4);
    EXPECT_GE(open.frame->centralWidget()->width(), 512);
    EXPECT_GE(open.frame->centralWidget()->height(), 512);
}

// The pane shows the prompt of whatever menu item is highlighted, blank for items without one
// and for popup titles, and goes back to "Готово" once the menus are closed.
TEST(MainFrame, StatusPaneFollowsTheHighlightedMenuItem) {
    OpenFrame open;
    auto& frame = *open.frame;
    EXPECT_EQ(frame.statusText(), QStringLiteral("Готово"));
    // The pane is the status bar's only one, and it stretches.
    const QList<QLabel*> panes = frame.statusBar()->findChildren<QLabel*>();
    ASSERT_EQ(panes.size(), 1);
    EXPECT_GT(panes[0]->width(), frame.width() / 2);
    EXPECT_EQ(panes[0]->text(), frame.statusText());

    QMenu* file = popup(frame, 0);
    frame.menuBar()->setActiveAction(file->menuAction());
    QTRY_VERIFY(file->isVisible());
    EXPECT_EQ(frame.statusText(), QString());

    const std::vector<std::pair<int, QString>> prompts = {
        {57600, QStringLiteral("Создание нового документа")},
        {57601, QStringLiteral("Открытие существующего документа")},
        {57603, QStringLiteral("Сохранение текущего документа")},
        {57604, QStringLiteral("Сохранение документа под новым именем")},
        {32775, QString()},
        {57665, QStringLiteral("Выход из приложения")},
        {57600, QStringLiteral("Создание нового документа")},
    };
    for (const auto& [id, prompt] : prompts) {
        file->setActiveAction(frame.action(id));
        EXPECT_EQ(frame.statusText(), prompt) << id;
    }

    // Blank stays blank while the menu is open.
    file->setActiveAction(frame.action(32775));
    QTest::qWait(20);
    EXPECT_EQ(frame.statusText(), QString());

    // Moving over to the next popup: the title blanks the pane, its item shows its prompt.
    QMenu* ifs = popup(frame, 1);
    frame.menuBar()->setActiveAction(ifs->menuAction());
    QTRY_VERIFY(ifs->isVisible());
    EXPECT_EQ(frame.statusText(), QString());
    ifs->setActiveAction(frame.action(32773));
    EXPECT_EQ(frame.statusText(), QStringLiteral("Задание афинных преобразований СИФ"));
    // Still inside the menus after the hand-over: no idle text yet.
    QTest::qWait(20);
    EXPECT_EQ(frame.statusText(), QStringLiteral("Задание афинных преобразований СИФ"));

    ifs->hide();
    QTRY_COMPARE(frame.statusText(), QStringLiteral("Готово"));

    QMenu* help = popup(frame, 2);
    frame.menuBar()->setActiveAction(help->menuAction());
    QTRY_VERIFY(help->isVisible());
    help->setActiveAction(frame.action(57664));
    EXPECT_EQ(frame.statusText(), QStringLiteral("Информация о программе"));
    help->hide();
    QTRY_COMPARE(frame.statusText(), QStringLiteral("Готово"));
}

TEST(MainFrame, ExitClosesTheWindow) {
    OpenFrame open;
    ASSERT_TRUE(open.frame->isVisible());
    open.frame->action(57665)->trigger();
    EXPECT_FALSE(open.frame->isVisible());
}

TEST(MainFrame, CtrlPOpensTheParametersDialog) {
    OpenFrame open;
    bool shown = false;
    orv::test::whenShown<orv::ui::CParamsDlg>([&shown](orv::ui::CParamsDlg* dialog) {
        shown = true;
        dialog->reject();
    });
    QTest::keyClick(open.frame.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(shown);
}

TEST(MainFrame, ViewShowsWhatTheDocumentRenders) {
    OpenFrame open;
    const auto blackPixels = [&open] {
        QApplication::processEvents();
        const QImage image = open.frame->view().grab().toImage();
        int black = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                black += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
            }
        }
        return black;
    };
    EXPECT_EQ(blackPixels(), 0);
    // The new document's identity map: the full 128 x 128 square.
    ASSERT_EQ(open.doc.Render(), orv::RenderOutcome::completed);
    EXPECT_EQ(blackPixels(), 128 * 128);
    open.doc.ResetToDefaults();
    EXPECT_EQ(blackPixels(), 0);
}

TEST(MainFrame, PassingOverTheMenuBarLeavesTheIdleText) {
    OpenFrame open;
    auto* frame = open.frame.get();
    QMenuBar* menuBar = frame->menuBar();
    const QPoint title =
        menuBar->mapTo(frame, menuBar->actionGeometry(menuBar->actions().at(0)).center());
    QTest::mouseMove(frame->windowHandle(), title);
    QTest::mouseMove(frame->windowHandle(), title + QPoint(0, 60));
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(frame->statusText(), QStringLiteral("Готово"));
}

}  // namespace
