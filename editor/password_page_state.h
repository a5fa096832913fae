#pragma once
#include <QString>

#include <memory>

class CPass;
class CTree;
class CTreeNode;

// The rules of the password page without widgets: the users it starts with, where its loop boxes
// stand, which panel a user gets and how an edit changes the user record. The page (password_page.h)
// shows the records of a CTree; the file save and the report read them from that tree.

// The page handles at most this many alarm loops; the main window's LoopCount is lowered to it.
constexpr int kMaxPassLoops = 32;
// Tree picture of a user node (and the page's tab picture).
constexpr int kPassImage = 8;
// Characters the engineer can type into a password edit; a longer stored password is kept whole.
constexpr int kPasswordTypingLimit = 16;

inline const QString kDefaultAdminPassword = QStringLiteral("6039");
inline const QString kAdministratorName = QStringLiteral("Администратор");
inline const QString kTooManyPassLoopsText =
    QStringLiteral("Количество шлейфов более 32. Возможно, ошибка в файле параметров.");

// The loop count the page works with for the main window's LoopCount: lowered to 32, never negative.
int PassLoopCount(int loopCount);
// The designed width of a loop box column; a face that draws "ШС32" wider widens the columns.
constexpr int kLoopBoxWidth = 50;
// Width of the loop group box: 220 up to 16 loops, 420 above (32 boxes need eight columns), and the
// widening of its four or eight columns beyond the designed width.
int LoopGroupWidth(int loopCount, int columnWidth = kLoopBoxWidth);
// Position of loop box k (1-based) in the group box: columns of four, column by column.
struct LoopBoxPlace {
    int Left = 0;
    int Top = 0;
};
LoopBoxPlace LoopBoxPosition(int k, int columnWidth = kLoopBoxWidth);

// Fresh users. Each record carries exactly max(0, loops) flags.
std::shared_ptr<CPass> MakeAdministrator(int loops); // all flags set, password "6039"
std::shared_ptr<CPass> MakeOperator(int number, int loops); // "Оператор " + number, id number + 1

// A copy of a stored user with exactly max(0, hos_count) flags: the stored ones, padded with false.
std::shared_ptr<CPass> CopyUser(const CPass &stored);

// Adds the administrator and the operators 1 .. passCount - 1 at the top level of tree.
void AddFreshUsers(CTree &tree, int passCount, int loops);
// Adds copies of the stored users under valuesTable, from the first, while each carries a password
// record whose hos_count equals loops; the first that does not ends the walk.
void AddStoredUsers(CTree &tree, const CTreeNode &valuesTable, int loops);

// Whether a values table holds users stored in a configuration file. The read-back tree of a read
// holds decoded parameters under its password table and no users: its device node is named
// "name (version)", and its table's children are parameter nodes.
bool HoldsStoredUsers(const CTreeNode &valuesTable);

// The users of a page: the stored ones of a file's values table, else the fresh ones.
void FillUsers(CTree &tree, int passCount, int loops, bool withValues, const CTreeNode *valuesTable);

// Which panel a user gets: the administrator panel for id 1 whatever its flag, the operator panel
// for any other id.
enum class PassPanel { None, Administrator, Operator };
PassPanel PanelFor(const CPass *user);

// Loop flag k (1-based); false for a loop the record carries no flag for.
bool UserLoopFlag(const CPass &user, int k);
// Sets loop flag k; a loop the record carries no flag for is left alone (false).
bool SetUserLoopFlag(CPass &user, int k, bool value);
