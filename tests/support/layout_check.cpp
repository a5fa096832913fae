#include "tests/support/layout_check.h"

#include <cstdlib>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QToolButton>


namespace {
QString Describe(const QWidget *w, const QString &text = QString())
{
    QString d = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        d += u' ' + w->objectName();
    if (!text.isEmpty())
        d += QStringLiteral(" \"") + text + u'"';
    return d + QStringLiteral(" at %1,%2 %3x%4")
                   .arg(w->x())
                   .arg(w->y())
                   .arg(w->width())
                   .arg(w->height());
}

QString SizeText(QSize s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

// Mnemonic ampersands take no room; "&&" is one drawn ampersand.
QString DrawnText(const QString &text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

int TextHeight(const QFont &font)
{
    const QFontMetrics fm(font);
    return fm.ascent() + fm.descent();
}

// The letters that reach highest and lowest in the design's Cyrillic texts: what an edit field may be
// given to show.
const QString kTallAndDeep = QStringLiteral("Йрру");

// Whether text, on a line that Qt puts into room with alignment (centred unless top or bottom), keeps
// its letters inside clip.
bool InkInside(const QFont &font, const QString &text, QRect room, Qt::Alignment alignment, QRect clip,
               int centreRounding = 0)
{
    const QFontMetrics fm(font);
    int top = room.top() + (room.height() - fm.height() + centreRounding) / 2;
    if (alignment & Qt::AlignTop)
        top = room.top();
    else if (alignment & Qt::AlignBottom)
        top = room.bottom() + 1 - fm.height();
    const QRect ink = fm.tightBoundingRect(text).translated(0, top + fm.ascent());
    return ink.top() >= clip.top() && ink.bottom() <= clip.bottom();
}


// A bold face whose strokes are no darker than the regular's is not seen as bold.
bool DrawnBold(const QFont &font)
{
    static QHash<QString, bool> seen;
    const QString key = font.key();
    if (auto it = seen.constFind(key); it != seen.constEnd())
        return *it;
    QFont regular = font;
    regular.setBold(false);
    const QString sample = QStringLiteral("13 Взятие Снятие Тиврон-А программатор");
    const bool bold = DarkPixels(font, sample) * 10 >= DarkPixels(regular, sample) * 12;
    seen.insert(key, bold);
    return bold;
}

void CheckBold(const QWidget *w, const QString &text, QStringList &out)
{
    if (!text.isEmpty() && w->font().bold() && !DrawnBold(w->font()))
        out << Describe(w, text) + QStringLiteral(": bold text drawn with regular strokes");
}

void CheckLabel(const QLabel *l, QStringList &out)
{
    if (l->text().isEmpty() || !l->pixmap().isNull())
        return;
    const QRect room = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    const QFontMetrics fm = l->fontMetrics();
    QString text = l->text();
    if (l->textFormat() == Qt::RichText || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        return; // rich texts lay themselves out
    if (l->wordWrap()) {
        if (l->heightForWidth(l->width()) > l->height())
            out << Describe(l, text) + QStringLiteral(": wrapped text needs %1 px of height")
                                           .arg(l->heightForWidth(l->width()));
        return;
    }
    const QSize need = fm.size(0, l->buddy() ? DrawnText(text) : text);
    if (need.width() > room.width() || TextHeight(l->font()) > room.height())
        out << Describe(l, text) + QStringLiteral(": text needs ") + SizeText(QSize(need.width(), TextHeight(l->font())));
    else if (!InkInside(l->font(), text, room, l->alignment(), l->rect()))
        out << Describe(l, text) + QStringLiteral(": its letters cross its edges");
}

void CheckButton(const QAbstractButton *b, QStringList &out)
{
    const QString text = DrawnText(b->text());
    if (text.isEmpty())
        return;
    if (auto *tb = qobject_cast<const QToolButton *>(b); tb && tb->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return;
    const QFontMetrics fm = b->fontMetrics();
    QStyle *style = b->style();
    int need = fm.horizontalAdvance(text);
    int room = b->width();
    if (qobject_cast<const QCheckBox *>(b) || qobject_cast<const QRadioButton *>(b)) {
        const bool check = qobject_cast<const QCheckBox *>(b) != nullptr;
        need += style->pixelMetric(check ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth, nullptr, b) +
                style->pixelMetric(check ? QStyle::PM_CheckBoxLabelSpacing : QStyle::PM_RadioButtonLabelSpacing,
                                   nullptr, b);
    } else if (auto *pb = qobject_cast<const QPushButton *>(b)) {
        QStyleOptionButton opt;
        opt.initFrom(pb);
        opt.rect = pb->rect();
        opt.features = pb->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
        room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, pb).width();
        if (!pb->icon().isNull())
            need += pb->iconSize().width() + 4;
    } else if (!b->icon().isNull()) {
        need += b->iconSize().width() + 4;
        room -= 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    }
    if (need > room || TextHeight(b->font()) > b->height())
        out << Describe(b, b->text()) + QStringLiteral(": text needs %1 px, has %2").arg(need).arg(room);
    else if (!InkInside(b->font(), text, b->rect(), Qt::AlignVCenter, b->rect()))
        out << Describe(b, b->text()) + QStringLiteral(": its letters cross its edges");
}

void CheckEditField(const QWidget *w, QRect field, QStringList &out)
{
    if (field.height() < TextHeight(w->font()))
        out << Describe(w) + QStringLiteral(": edit field %1 px high, its text needs %2")
                                 .arg(field.height())
                                 .arg(TextHeight(w->font()));
    // The line edit centres its line within a pixel of margin and clips at the field.
    else if (!InkInside(w->font(), kTallAndDeep, field.adjusted(0, 1, 0, -1), Qt::AlignVCenter, field, 1))
        out << Describe(w) + QStringLiteral(": the letters of \"%1\" cross its edit field").arg(kTallAndDeep);
}

// An edit box whose edge has the colour of what lies around it cannot be found until typed into.
void CheckEditShows(const QLineEdit *e, QStringList &out)
{
    // Seen in its window, so that the panels behind it are painted as well.
    QWidget *window = e->window();
    if (e == window)
        return;
    const QRect around(e->mapTo(window, QPoint(-1, 0)), QSize(e->width() + 1, e->height()));
    const QImage seen = window->grab(around).toImage();
    const int y = seen.height() / 2;
    const QColor outside = seen.pixelColor(0, y);
    const QColor edge = seen.pixelColor(1, y);
    const int difference = std::abs(outside.red() - edge.red()) + std::abs(outside.green() - edge.green()) +
                           std::abs(outside.blue() - edge.blue());
    if (difference < 3 * 48)
        out << Describe(e) + QStringLiteral(": its edge does not show against its parent (%1 on %2)")
                                 .arg(edge.name(), outside.name());
}

void CheckRows(const QAbstractItemView *view, QStringList &out)
{
    const QAbstractItemModel *m = view->model();
    if (qobject_cast<const QHeaderView *>(view) || !m || m->rowCount(view->rootIndex()) == 0)
        return;
    const int height = view->visualRect(m->index(0, 0, view->rootIndex())).height();
    if (height > 0 && height < TextHeight(view->font()) + 1)
        out << Describe(view) + QStringLiteral(": rows %1 px high, a line of its text needs %2")
                                    .arg(height)
                                    .arg(TextHeight(view->font()) + 1);
}

void CheckSpinBox(const QAbstractSpinBox *s, QStringList &out)
{
    QStyleOptionSpinBox opt;
    opt.initFrom(s);
    opt.rect = s->rect();
    opt.subControls = QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    opt.buttonSymbols = s->buttonSymbols();
    opt.frame = s->hasFrame();
    const QRect field = s->style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxEditField, s);
    CheckEditField(s, field, out);
    // The widest value the box takes must show whole.
    if (auto *edit = s->findChild<QLineEdit *>()) {
        const QFontMetrics fm = s->fontMetrics();
        const QString shown = edit->text();
        if (fm.horizontalAdvance(shown) > field.width())
            out << Describe(s, shown) + QStringLiteral(": value needs %1 px, field has %2")
                                            .arg(fm.horizontalAdvance(shown))
                                            .arg(field.width());
    }
}

void CheckTabs(const QTabBar *bar, QStringList &out)
{
    // A tab narrower than its text and picture elides the text.
    const QFontMetrics fm = bar->fontMetrics();
    const int space = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
    for (int i = 0; i < bar->count(); ++i) {
        if (!bar->isTabVisible(i))
            continue;
        int need = fm.horizontalAdvance(DrawnText(bar->tabText(i))) + space;
        if (!bar->tabIcon(i).isNull())
            need += bar->iconSize().width() + 4;
        if (bar->tabRect(i).width() < need)
            out << Describe(bar, bar->tabText(i)) + QStringLiteral(": tab %1 px wide, its text needs %2")
                                                      .arg(bar->tabRect(i).width())
                                                      .arg(need);
    }
}

bool InsideScrolledContent(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea *>(p))
            return true;
    return false;
}

void CheckOne(const QWidget *w, QStringList &out)
{
    if (auto *l = qobject_cast<const QLabel *>(w)) {
        CheckLabel(l, out);
        CheckBold(l, l->text(), out);
    } else if (auto *b = qobject_cast<const QAbstractButton *>(w)) {
        CheckButton(b, out);
        CheckBold(b, b->text(), out);
    } else if (auto *v = qobject_cast<const QAbstractItemView *>(w))
        CheckRows(v, out);
    else if (auto *s = qobject_cast<const QAbstractSpinBox *>(w))
        CheckSpinBox(s, out);
    else if (auto *e = qobject_cast<const QLineEdit *>(w)) {
        if (!qobject_cast<const QAbstractSpinBox *>(e->parentWidget()) && !qobject_cast<const QComboBox *>(e->parentWidget())) {
            const int frame = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e) : 0;
            CheckEditField(e, e->rect().adjusted(frame, frame, -frame, -frame), out);
            CheckEditShows(e, out);
        }
    } else if (auto *c = qobject_cast<const QComboBox *>(w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.rect = c->rect();
        opt.editable = c->isEditable();
        opt.frame = c->hasFrame();
        CheckEditField(c, c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c), out);
    } else if (auto *t = qobject_cast<const QTabBar *>(w))
        CheckTabs(t, out);
    else if (auto *g = qobject_cast<const QGroupBox *>(w))
        CheckBold(g, g->title(), out);

    // A group box needs room for its title; any widget with a layout, room for what the layout holds.
    if (qobject_cast<const QGroupBox *>(w) || w->layout()) {
        const QSize min = w->minimumSizeHint();
        if (min.isValid() && (w->width() < min.width() || w->height() < min.height()))
            out << Describe(w, qobject_cast<const QGroupBox *>(w) ? qobject_cast<const QGroupBox *>(w)->title() : QString()) +
                       QStringLiteral(": below its minimum size ") + SizeText(min);
    }
    // Placed controls must lie inside the widget that shows them, or part of them is cut off.
    // (An empty control, such as a tab bar without tabs, shows nothing to cut.)
    const QWidget *parent = w->parentWidget();
    if (parent && !w->isWindow() && !w->geometry().isEmpty() && !InsideScrolledContent(w) &&
        !parent->rect().contains(w->geometry()))
        out << Describe(w) + QStringLiteral(": reaches outside its parent ") + Describe(parent);
}
} // namespace

QStringList LayoutProblems(const QWidget *window)
{
    // Layouts still waiting for the event loop are settled first, as they would be before painting.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QStringList out;
    QList<const QWidget *> all{window};
    for (const QWidget *w : window->findChildren<QWidget *>())
        all << w;
    for (const QWidget *w : all) {
        if (w != window && (w->isWindow() || !w->isVisibleTo(window)))
            continue;
        CheckOne(w, out);
    }
    return out;
}

int DarkPixels(const QFont &font, const QString &text)
{
    const QFontMetrics fm(font);
    QImage image(fm.horizontalAdvance(text) + 8, fm.height() + 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(4, 4 + fm.ascent()), text);
    p.end();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return dark;
}

std::string LayoutReport(const QWidget *window) { return LayoutProblems(window).join(u'\n').toStdString(); }
