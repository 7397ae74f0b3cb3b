// When the main frame's commands may be used: the menu (update rules, then the frame's
// own pass as a pop-up opens), the toolbar (update rules only) and the accelerators.
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QToolBar>
#include <map>
#include <set>

#include "app/browse/browse_models.h"
#include "app/command_ids.h"
#include "app/command_state.h"
#include "app/command_table.h"
#include "app/main_frame.h"
#include "gui_test_main.h"

using namespace tarvik;

namespace {

const int kAllMenuIds[] = {ID_SELECT_PHYSICAL_DISK,
                           ID_OPEN_DRIVE,
                           ID_APP_EXIT,
                           ID_RECOVER_SELECTED,
                           ID_RECOVER_ALL,
                           ID_RECOVER_DELETED,
                           ID_ADD_FILE_FILTER,
                           ID_REMOVE_FILE_FILTER,
                           ID_FIND,
                           ID_FIND_NEXT,
                           ID_SELECT_ALL,
                           ID_UNSELECT_ALL,
                           ID_DRIVE_PARAMETERS,
                           ID_ADVANCE_SEARCH,
                           ID_VIEW_TOOLBAR,
                           ID_VIEW_STATUS_BAR,
                           ID_VIEW_LARGEICON,
                           ID_VIEW_SMALLICON,
                           ID_VIEW_LIST,
                           ID_VIEW_DETAILS,
                           ID_ARRANGE_NAME,
                           ID_ARRANGE_TYPE,
                           ID_ARRANGE_SIZE,
                           ID_ARRANGE_FILEID,
                           ID_HELP_FINDER,
                           ID_APP_ABOUT};

// The commands that depend on the flags.
const int kRuledIds[] = {ID_RECOVER_SELECTED, ID_RECOVER_ALL,        ID_RECOVER_DELETED,
                         ID_ADD_FILE_FILTER,  ID_REMOVE_FILE_FILTER, ID_FIND,
                         ID_FIND_NEXT,        ID_SELECT_ALL,         ID_UNSELECT_ALL,
                         ID_DRIVE_PARAMETERS, ID_OPEN_DRIVE,         ID_ADVANCE_SEARCH};

void OpenEveryPopup(CMainFrame* frame) {
    for (QMenu* menu : frame->menuBar()->findChildren<QMenu*>()) frame->UpdateMenuState(menu);
}

std::set<int> EnabledMenuItems(CMainFrame* frame) {
    OpenEveryPopup(frame);
    std::set<int> enabled;
    for (int id : kAllMenuIds)
        if (frame->MenuAction(id)->isEnabled()) enabled.insert(id);
    return enabled;
}

std::set<int> EnabledButtons(CMainFrame* frame) {
    frame->UpdateToolbarState();
    std::set<int> enabled;
    for (int id : ToolbarLayout())
        if (id != ID_SEPARATOR && frame->ToolbarAction(id)->isEnabled()) enabled.insert(id);
    return enabled;
}

}  // namespace

class EnablingTest : public QObject {
    Q_OBJECT

    CTarvikApp& App() { return *CTarvikApp::Instance(); }

    void ResetFlags() {
        CTarvikApp& a = App();
        a.State().panes = PaneState{};
        a.State().checked = CheckedState{};
        a.State().find.nextEnabled = a.State().advanceSearchDone = false;
    }

  private slots:
    void init() { ResetFlags(); }

    void beforeAnyScanOnlyTheShellCommandsAreUsable() {
        CMainFrame frame(App());
        const std::set<int> menu = EnabledMenuItems(&frame);
        const std::set<int> expected = {
            ID_SELECT_PHYSICAL_DISK, ID_APP_EXIT,       ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR,
            ID_VIEW_LARGEICON,       ID_VIEW_SMALLICON, ID_VIEW_LIST,    ID_VIEW_DETAILS,
            ID_ARRANGE_NAME,         ID_ARRANGE_TYPE,   ID_ARRANGE_SIZE, ID_ARRANGE_FILEID,
            ID_HELP_FINDER,          ID_APP_ABOUT};
        QCOMPARE(menu, expected);
        QCOMPARE(EnabledButtons(&frame), (std::set<int>{ID_SELECT_PHYSICAL_DISK, ID_HELP_FINDER}));
    }

    // With every command handled (as once all windows exist), each combination of flags
    // that the rules tell apart, in the menu and on the toolbar.
    void rulesForEachCombinationOfFlags_data() {
        QTest::addColumn<QList<int>>(
            "flags");  // ListFilled, AnySelected, AllSelected, Deleted, FindNext, AdvanceDone
        QTest::addColumn<QList<int>>("menuOn");
        QTest::addColumn<QList<int>>("buttonsOn");
        QTest::newRow("nothing") << QList<int>{0, 0, 0, 0, 0, 0} << QList<int>{} << QList<int>{};
        QTest::newRow("list shown")
            << QList<int>{1, 0, 0, 0, 0, 0}
            << QList<int>{ID_RECOVER_ALL,      ID_ADD_FILE_FILTER, ID_FIND,          ID_SELECT_ALL,
                          ID_DRIVE_PARAMETERS, ID_OPEN_DRIVE,      ID_ADVANCE_SEARCH}
            << QList<int>{ID_RECOVER_ALL, ID_ADD_FILE_FILTER, ID_FIND, ID_OPEN_DRIVE};
        QTest::newRow("deleted folders")
            << QList<int>{1, 0, 0, 1, 0, 0}
            << QList<int>{ID_RECOVER_ALL, ID_RECOVER_DELETED, ID_ADD_FILE_FILTER,
                          ID_FIND,        ID_SELECT_ALL,      ID_DRIVE_PARAMETERS,
                          ID_OPEN_DRIVE,  ID_ADVANCE_SEARCH}
            << QList<int>{ID_RECOVER_ALL, ID_RECOVER_DELETED, ID_ADD_FILE_FILTER, ID_FIND,
                          ID_OPEN_DRIVE};
        // The frame's pop-up pass grays these in the menu without a list; the toolbar
        // follows the update rules alone.
        QTest::newRow("deleted folders, no list") << QList<int>{0, 0, 0, 1, 1, 0} << QList<int>{}
                                                  << QList<int>{ID_RECOVER_DELETED, ID_FIND_NEXT};
        QTest::newRow("find next")
            << QList<int>{1, 0, 0, 0, 1, 0}
            << QList<int>{ID_RECOVER_ALL, ID_ADD_FILE_FILTER,  ID_FIND,       ID_FIND_NEXT,
                          ID_SELECT_ALL,  ID_DRIVE_PARAMETERS, ID_OPEN_DRIVE, ID_ADVANCE_SEARCH}
            << QList<int>{ID_RECOVER_ALL, ID_ADD_FILE_FILTER, ID_FIND, ID_FIND_NEXT, ID_OPEN_DRIVE};
        QTest::newRow("advance search done")
            << QList<int>{1, 0, 0, 0, 0, 1}
            << QList<int>{ID_RECOVER_ALL, ID_ADD_FILE_FILTER,  ID_FIND,
                          ID_SELECT_ALL,  ID_DRIVE_PARAMETERS, ID_OPEN_DRIVE}
            << QList<int>{ID_RECOVER_ALL, ID_ADD_FILE_FILTER, ID_FIND, ID_OPEN_DRIVE};
        QTest::newRow("some checked")
            << QList<int>{1, 1, 0, 0, 0, 0}
            << QList<int>{ID_RECOVER_SELECTED, ID_RECOVER_ALL, ID_ADD_FILE_FILTER,  ID_FIND,
                          ID_UNSELECT_ALL,     ID_SELECT_ALL,  ID_DRIVE_PARAMETERS, ID_OPEN_DRIVE,
                          ID_ADVANCE_SEARCH}
            << QList<int>{ID_RECOVER_SELECTED, ID_RECOVER_ALL, ID_ADD_FILE_FILTER, ID_FIND,
                          ID_OPEN_DRIVE};
        QTest::newRow("all checked")
            << QList<int>{1, 1, 1, 0, 0, 0} << QList<int>{ID_RECOVER_SELECTED, ID_RECOVER_ALL,
                                                          ID_ADD_FILE_FILTER,  ID_FIND,
                                                          ID_UNSELECT_ALL,     ID_DRIVE_PARAMETERS,
                                                          ID_OPEN_DRIVE,       ID_ADVANCE_SEARCH}
            << QList<int>{ID_RECOVER_SELECTED, ID_RECOVER_ALL, ID_ADD_FILE_FILTER, ID_FIND,
                          ID_OPEN_DRIVE};
        // Unselect All stays gray while nothing is checked, even after Select All.
        QTest::newRow("all selected, nothing checked")
            << QList<int>{1, 0, 1, 0, 0, 0}
            << QList<int>{ID_RECOVER_ALL,      ID_ADD_FILE_FILTER, ID_FIND,
                          ID_DRIVE_PARAMETERS, ID_OPEN_DRIVE,      ID_ADVANCE_SEARCH}
            << QList<int>{ID_RECOVER_ALL, ID_ADD_FILE_FILTER, ID_FIND, ID_OPEN_DRIVE};
        QTest::newRow("checked, no list")
            << QList<int>{0, 1, 0, 0, 0, 0} << QList<int>{ID_RECOVER_SELECTED, ID_UNSELECT_ALL}
            << QList<int>{ID_RECOVER_SELECTED};
    }

    void rulesForEachCombinationOfFlags() {
        QFETCH(QList<int>, flags);
        QFETCH(QList<int>, menuOn);
        QFETCH(QList<int>, buttonsOn);
        CMainFrame frame(App());
        for (int id : kAllMenuIds) frame.SetCommandHandler(id, [] {});
        CTarvikApp& a = App();
        a.State().panes.listFilled = flags[0] != 0;
        a.State().checked.any = flags[1] != 0;
        a.State().checked.all = flags[2] != 0;
        a.State().panes.deletedFoldersPresent = flags[3] != 0;
        a.State().find.nextEnabled = flags[4] != 0;
        a.State().advanceSearchDone = flags[5] != 0;

        std::set<int> menu = EnabledMenuItems(&frame);
        std::set<int> ruled;
        for (int id : kRuledIds)
            if (menu.count(id)) ruled.insert(id);
        QCOMPARE(ruled, std::set<int>(menuOn.begin(), menuOn.end()));
        std::set<int> buttons = EnabledButtons(&frame);
        buttons.erase(ID_SELECT_PHYSICAL_DISK);
        buttons.erase(ID_HELP_FINDER);
        QCOMPARE(buttons, std::set<int>(buttonsOn.begin(), buttonsOn.end()));
    }

    void removeFileFilterFollowsTheEnginesFilterAlone() {
        CommandFlags flags;
        QVERIFY(!MenuCommandEnabled(ID_REMOVE_FILE_FILTER, true, flags));
        flags.engineHoldsFilter = true;
        QVERIFY(MenuCommandEnabled(ID_REMOVE_FILE_FILTER, true, flags));
        QVERIFY(MenuCommandEnabled(ID_REMOVE_FILE_FILTER, false, flags));
        flags.listFilled = 1;
        QVERIFY(MenuCommandEnabled(ID_REMOVE_FILE_FILTER, true, flags));
    }

    void viewStylesNeedAFileListAndMarkTheCurrentOne() {
        CMainFrame frame(App());
        frame.OnCommand(ID_VIEW_LARGEICON);
        OpenEveryPopup(&frame);
        QVERIFY(frame.MenuAction(ID_VIEW_LARGEICON)->isChecked());
        QVERIFY(!frame.MenuAction(ID_VIEW_DETAILS)->isChecked());
        // One radio group: the marks are radio marks, and a new style moves the one mark.
        QActionGroup* group = frame.MenuAction(ID_VIEW_LARGEICON)->actionGroup();
        QVERIFY(group && group->isExclusive());
        QCOMPARE(frame.MenuAction(ID_VIEW_DETAILS)->actionGroup(), group);
        frame.OnCommand(ID_VIEW_LIST);
        OpenEveryPopup(&frame);
        QCOMPARE(group->checkedAction(), frame.MenuAction(ID_VIEW_LIST));
        frame.ReplacePanes(nullptr, new QWidget);
        OpenEveryPopup(&frame);
        QVERIFY(!frame.MenuAction(ID_VIEW_LIST)->isEnabled());
        QVERIFY(frame.MenuAction(ID_ARRANGE_NAME)->isEnabled());
    }

    void arrangeByFlipsOneToggleSharedByItsItems() {
        CMainFrame frame(App());
        App().State().sort.clickAscending = false;
        frame.OnCommand(ID_ARRANGE_NAME);
        QVERIFY(App().State().sort.active);
        QCOMPARE(App().State().sort.column, 0);
        QVERIFY(App().State().sort.ascending);
        frame.OnCommand(ID_ARRANGE_NAME);
        QVERIFY(!App().State().sort.ascending);
        frame.OnCommand(ID_ARRANGE_TYPE);
        QCOMPARE(App().State().sort.column, 1);
        QVERIFY(App().State().sort.ascending);
        frame.OnCommand(ID_ARRANGE_FILEID);
        QCOMPARE(App().State().sort.column, int(CFileListModel::kFileId));
    }

    void acceleratorsRunOnlyUsableCommands() {
        CMainFrame frame(App());
        int disks = 0;
        int recovers = 0;
        frame.SetCommandHandler(ID_SELECT_PHYSICAL_DISK, [&] { ++disks; });
        frame.SetCommandHandler(ID_RECOVER_SELECTED, [&] { ++recovers; });
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(&frame, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(disks, 2);
        QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(recovers, 0);
        App().State().checked.any = true;
        QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(recovers, 1);
    }
};

TARVIK_GUI_TEST_MAIN(EnablingTest)
#include "enabling_test.moc"
