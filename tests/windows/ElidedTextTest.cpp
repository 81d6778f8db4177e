// Every window of both programs at the size it opens with, holding a sample history
// and sample accounts: no label, button, frame title, tab, header, note or cell may
// show its text cut or wider than the room it has, no widget may lie over another's
// text, and no list may need a sideways scroll bar for its sample. Only a text from
// outside (a user, provider, sender or subject) may be cut short, and only when its
// cell's tooltip holds it whole.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"

#include "common/RegistryNames.h"
#include "dialtally/gui/TariffProfilesDialog.h"
#include "dialtally/gui/TimeSyncDialog.h"
#include "dialtally/gui/OpenReportDialog.h"
#include "dialtally/gui/GraphsDialog.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/StatisticsDialog.h"
#include "dialtally/gui/AboutBox.h"
#include "dialtally/gui/BeepDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "dialtally/core/History.h"
#include "dialtally/gui/PreferencesDialog.h"
#include "dialtally/gui/CounterDialog.h"
#include "dialtally/gui/ProvidersDialog.h"

#include "postpeek/gui/MailCheckerWindow.h"
#include "postpeek/gui/MailAboutBox.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <type_traits>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

using namespace testing_support;

namespace {

// What the walk found in a state a window passes through before it is walked itself.
QStringList faultsOnTheWay;

void letEventsRun(int milliseconds)
{
    QElapsedTimer elapsed;
    elapsed.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (elapsed.elapsed() < milliseconds);
}

// ---- what the walk measures ---------------------------------------------------------

// A caption as drawn: "&Help" shows "Help", "&&" one "&".
QString shownText(const QString& text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text.at(i);
    }
    return shown;
}

// In fractions of a pixel, rounded up: the drawing cuts a text a fraction too wide.
int advance(const QFont& font, const QString& text)
{
    return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

class Walk {
public:
    explicit Walk(QString window)
        : m_window(std::move(window))
    { }

    void widget(QWidget* w)
    {
        if (auto* label = qobject_cast<QLabel*>(w))
            this->label(label);
        else if (auto* box = qobject_cast<QGroupBox*>(w))
            groupBox(box);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            this->button(button);
        else if (auto* tabs = qobject_cast<QTabBar*>(w))
            tabBar(tabs);
        else if (auto* header = qobject_cast<QHeaderView*>(w))
            this->header(header);
        else if (auto* view = qobject_cast<QAbstractItemView*>(w))
            cells(view);
        else if (auto* note = qobject_cast<QPlainTextEdit*>(w))
            this->note(note);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
            sidewaysScroll(area);
    }

    // Every text shown, in window coordinates, for the check that nothing lies over it.
    struct ShownText {
        const QWidget* widget;
        QString text;
        QRect rect;
    };
    void coverings(const QWidget* window, const QList<QWidget*>& shown)
    {
        for (const ShownText& t : m_texts) {
            for (const QWidget* other : shown) {
                if (other == t.widget || other->isAncestorOf(t.widget) || t.widget->isAncestorOf(other))
                    continue;
                const QRect over(other->mapTo(window, QPoint(0, 0)), other->size());
                if (over.intersects(t.rect) && drawnAbove(other, t.widget))
                    faults << QStringLiteral("%1: %2 \"%3\" is covered by %4 %5")
                                  .arg(m_window, nameOf(t.widget), t.text,
                                       QString::fromLatin1(other->metaObject()->className()), other->objectName());
            }
        }
        m_texts.clear();
    }

    QStringList faults;

private:
    void fault(const QWidget* w, const QString& what, const QString& text, int needed, int room)
    {
        faults << QStringLiteral("%1: %2 %3 \"%4\" needs %5 px, has %6")
                      .arg(m_window, QString::fromLatin1(w->metaObject()->className()),
                           w->objectName().isEmpty() ? what : w->objectName() + QLatin1Char(' ') + what, text)
                      .arg(needed)
                      .arg(room);
    }

    // A widget that lies partly outside one of its parents is cut by it.
    void cutByParents(const QWidget* w, const QString& text)
    {
        QRect rect = w->rect();
        for (const QWidget* at = w; at->parentWidget() && !at->isWindow(); at = at->parentWidget()) {
            rect.translate(at->pos());
            const QRect parent = at->parentWidget()->rect();
            if (!parent.contains(rect)) {
                fault(w, QStringLiteral("(cut by %1)").arg(at->parentWidget()->objectName()), text, rect.right() + 1,
                      parent.width());
                return;
            }
        }
    }

    void shownAt(const QWidget* w, const QString& text, const QRect& rect)
    {
        m_texts.push_back({w, text, QRect(w->mapTo(w->window(), rect.topLeft()), rect.size())});
    }

    static QString nameOf(const QWidget* w)
    {
        return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
    }

    // Whether `a` is drawn over `b`: of the two children of their nearest common parent
    // that hold them, the later one is on top.
    static bool drawnAbove(const QWidget* a, const QWidget* b)
    {
        for (const QWidget* pa = a; pa->parentWidget(); pa = pa->parentWidget()) {
            const QWidget* parent = pa->parentWidget();
            if (!parent->isAncestorOf(b))
                continue;
            const QWidget* pb = b;
            while (pb->parentWidget() != parent)
                pb = pb->parentWidget();
            const QObjectList& children = parent->children();
            return children.indexOf(pa) > children.indexOf(pb);
        }
        return false;
    }

    void label(const QLabel* label)
    {
        const QString text = label->text();
        if (text.isEmpty() || !label->pixmap().isNull())
            return;
        cutByParents(label, text);
        shownAt(label, text,
                label->style()->itemTextRect(label->fontMetrics(), label->contentsRect(), label->alignment(),
                                             label->isEnabled(), text)
                    & label->rect());
        QRect room =
            label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
        if (label->indent() > 0)
            room.adjust(label->indent(), 0, 0, 0);
        const bool rich =
            label->textFormat() == Qt::RichText || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        if (label->wordWrap() || rich) {
            QTextDocument document;
            document.setDefaultFont(label->font());
            document.setDocumentMargin(0);
            if (rich)
                document.setHtml(text);
            else
                document.setPlainText(text);
            if (label->wordWrap()) {
                document.setTextWidth(room.width());
                const int needed = static_cast<int>(std::ceil(document.size().height()));
                if (needed > room.height() + 1)
                    fault(label, QStringLiteral("height"), text, needed, room.height());
            } else {
                const int needed = static_cast<int>(std::ceil(document.idealWidth()));
                if (needed > room.width())
                    fault(label, QString(), text, needed, room.width());
            }
            return;
        }
        const QString shown = label->buddy() ? shownText(text) : text;
        for (const QString& line : shown.split(QLatin1Char('\n'))) {
            const int needed = advance(label->font(), line);
            if (needed > room.width())
                fault(label, QString(), line, needed, room.width());
        }
    }

    void groupBox(const QGroupBox* box)
    {
        if (box->title().isEmpty())
            return;
        cutByParents(box, box->title());
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.lineWidth = 1;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        if (box->isCheckable())
            option.subControls |= QStyle::SC_GroupBoxCheckBox;
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        shownAt(box, box->title(), label);
        const QString shown = shownText(box->title());
        const int needed = advance(box->font(), shown);
        const int room = std::min(label.width(), box->width() - label.left());
        if (needed > room)
            fault(box, QStringLiteral("title"), shown, needed, room);
    }

    void button(const QAbstractButton* button)
    {
        const QString shown = shownText(button->text());
        const auto* tool = qobject_cast<const QToolButton*>(button);
        // A toolbar button that shows its picture only draws no text.
        if (shown.isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
            return;
        cutByParents(button, shown);
        shownAt(button, shown, button->rect());
        QStyle* style = button->style();
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        QRect room;
        if (qobject_cast<const QPushButton*>(button)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            option.icon = button->icon();
            option.iconSize = button->iconSize();
            room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        } else if (qobject_cast<const QCheckBox*>(button) || qobject_cast<const QRadioButton*>(button)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const bool check = qobject_cast<const QCheckBox*>(button) != nullptr;
            room = style->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option,
                                         button);
        } else {
            const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
            room = button->rect().adjusted(frame, frame, -frame, -frame);
        }
        const int needed = advance(button->font(), shown) + icon;
        if (needed > room.width())
            fault(button, QString(), shown, needed, room.width());
    }

    void tabBar(const QTabBar* tabs)
    {
        for (int i = 0; i < tabs->count(); ++i) {
            QStyleOptionTab option;
            option.initFrom(tabs);
            option.rect = tabs->tabRect(i);
            option.text = tabs->tabText(i);
            option.shape = tabs->shape();
            option.documentMode = tabs->documentMode();
            const QRect room = tabs->style()->subElementRect(QStyle::SE_TabBarTabText, &option, tabs);
            const QString shown = shownText(tabs->tabText(i));
            const int needed = advance(tabs->font(), shown);
            if (needed > room.width())
                fault(tabs, QStringLiteral("tab"), shown, needed, room.width());
        }
    }

    void header(const QHeaderView* header)
    {
        if (!header->model() || header->orientation() != Qt::Horizontal)
            return;
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int section = 0; section < header->count(); ++section) {
            if (header->isSectionHidden(section) || header->sectionSize(section) == 0)
                continue;
            const QString text = header->model()->headerData(section, Qt::Horizontal).toString();
            int room = header->sectionSize(section) - 2 * margin;
            if (header->isSortIndicatorShown() && header->sortIndicatorSection() == section)
                room -= header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header) + margin;
            const int needed = advance(header->font(), text);
            if (needed > room)
                fault(header, QStringLiteral("section %1").arg(section), text, needed, room);
        }
    }

    void cells(const QAbstractItemView* view)
    {
        const QAbstractItemModel* model = view->model();
        if (!model)
            return;
        QStyle* style = view->style();
        const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        // Past the viewport's right edge a column is cut by the list itself, scroll bar
        // or none.
        if (model->rowCount(view->rootIndex()) > 0) {
            for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
                const QRect rect = view->visualRect(model->index(0, column, view->rootIndex()));
                if (rect.width() > 0 && rect.right() >= view->viewport()->width())
                    fault(view, QStringLiteral("column %1 (past the list's edge)").arg(column),
                          model->headerData(column, Qt::Horizontal).toString(), rect.right() + 1,
                          view->viewport()->width());
            }
        }
        for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
            for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
                const QModelIndex index = model->index(row, column, view->rootIndex());
                const QString text = index.data(Qt::DisplayRole).toString();
                const QRect rect = view->visualRect(index);
                if (text.isEmpty() || rect.width() <= 0)
                    continue;
                QStyleOptionViewItem option;
                option.initFrom(view);
                option.rect = rect;
                option.text = text;
                option.features = QStyleOptionViewItem::HasDisplay;
                const QVariant font = index.data(Qt::FontRole);
                option.font = font.isValid() ? font.value<QFont>() : view->font();
                option.fontMetrics = QFontMetrics(option.font);
                if (index.data(Qt::CheckStateRole).isValid())
                    option.features |= QStyleOptionViewItem::HasCheckIndicator;
                if (index.data(Qt::DecorationRole).isValid()) {
                    option.features |= QStyleOptionViewItem::HasDecoration;
                    option.decorationSize = view->iconSize().isValid() ? view->iconSize() : QSize(16, 16);
                }
                const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, view);
                const int room = textRect.width() - 2 * textMargin;
                const int needed = advance(option.font, text);
                const QString where = QStringLiteral("cell %1,%2").arg(row).arg(column);
                if (needed <= room)
                    continue;
                const QString caption = model->headerData(column, Qt::Horizontal).toString();
                if (!isOutsideText(caption))
                    fault(view, where, text, needed, room);
                else if (!index.data(Qt::ToolTipRole).toString().contains(text))
                    fault(view, where + QStringLiteral(" (cut, and its tooltip does not hold it)"), text, needed, room);
            }
        }
    }

    // The columns whose texts come from outside the program, with no bound on their
    // length but the record's or the message's.
    static bool isOutsideText(const QString& caption)
    {
        static const QStringList outside = {QStringLiteral("User name"), QStringLiteral("Internet Provider"),
                                            QStringLiteral("From"), QStringLiteral("Subject")};
        return outside.contains(caption);
    }

    // A read-only text box: each line within its width, every line within its height.
    void note(const QPlainTextEdit* note)
    {
        const QString text = note->toPlainText();
        if (text.isEmpty())
            return;
        cutByParents(note, text);
        const QFontMetricsF metrics(note->font());
        const int margin = static_cast<int>(std::ceil(note->document()->documentMargin()));
        const QRect room = note->viewport()->rect().adjusted(margin, margin, -margin, -margin);
        shownAt(note, text, note->rect());
        // A box that may scroll shows the rest of its text on demand.
        if (note->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
            return;
        const QStringList lines = text.split(QLatin1Char('\n'));
        int height = static_cast<int>(std::ceil(metrics.lineSpacing() * lines.size()));
        if (note->lineWrapMode() == QPlainTextEdit::NoWrap) {
            for (const QString& line : lines) {
                const int needed = advance(note->font(), line);
                if (needed > room.width())
                    fault(note, QString(), line, needed, room.width());
            }
        } else {
            QTextDocument document;
            document.setDefaultFont(note->font());
            document.setDocumentMargin(0);
            document.setPlainText(text);
            document.setTextWidth(room.width());
            height = static_cast<int>(std::ceil(document.size().height()));
        }
        if (height > room.height() + 1)
            fault(note, QStringLiteral("height"), text, height, room.height());
    }

    void sidewaysScroll(const QAbstractScrollArea* area)
    {
        const QScrollBar* bar = area->horizontalScrollBar();
        if (bar->isVisibleTo(area) && bar->maximum() > bar->minimum())
            faults << QStringLiteral("%1: %2 scrolls sideways (%3 px more than its %4)")
                          .arg(m_window, nameOf(area))
                          .arg(area->horizontalScrollBar()->maximum())
                          .arg(area->viewport()->width());
    }

    QString m_window;
    std::vector<ShownText> m_texts;
};

// Walks the window and everything shown in it, each page of its tab widgets in turn.
QStringList faultsOf(const QString& name, QWidget* window)
{
    Walk walk(name);
    const auto walkShown = [&] {
        QList<QWidget*> shown;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (w->isVisibleTo(window) && !w->isWindow() && w->width() > 0 && w->height() > 0)
                shown << w;
        }
        for (QWidget* w : shown)
            walk.widget(w);
        walk.coverings(window, shown);
    };
    const QList<QTabWidget*> tabWidgets = window->findChildren<QTabWidget*>();
    walkShown();
    for (QTabWidget* tabs : tabWidgets) {
        const int current = tabs->currentIndex();
        for (int page = 0; page < tabs->count(); ++page) {
            if (page == current)
                continue;
            tabs->setCurrentIndex(page);
            letEventsRun(20);
            walkShown();
        }
        tabs->setCurrentIndex(current);
    }
    return walk.faults;
}

// ---- the sample ---------------------------------------------------------------------

history::HistoryRecord connection(const char* user, const char* provider, int day, int hour, int seconds, int cents)
{
    history::HistoryRecord record;
    record.StartTime = {2000, 1, static_cast<std::uint16_t>(day), static_cast<std::uint16_t>(hour), 5, 0};
    record.EndTime = record.StartTime;
    record.EndTime.hour = static_cast<std::uint16_t>(hour + seconds / 3600 % 12);
    record.EndTime.minute = 59;
    record.FeeCents = cents;
    record.DurationSeconds = seconds;
    record.setUserName(QString::fromLatin1(user));
    record.setProviderName(QString::fromLatin1(provider));
    return record;
}

// A POP3 maildrop of two messages, for Postpeek's list.
class SampleMaildrop : public QObject {
public:
    SampleMaildrop()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->write("+OK ready\r\n");
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    while (socket->canReadLine()) {
                        const QByteArray line = socket->readLine().trimmed();
                        const QByteArray verb = line.split(' ').first();
                        const QByteArray n = line.split(' ').value(1);
                        if (verb == "STAT")
                            socket->write("+OK 2 1581056\r\n");
                        else if (verb == "TOP" && longSubject && n == "2")
                            socket->write("+OK\r\nFrom: Ann Example <ann@example.org>\r\nSubject: "
                                          + QByteArray(400, 'x') + "\r\n\r\n.\r\n");
                        else if (verb == "TOP")
                            socket->write("+OK\r\nFrom: Ann Example <ann@example.org>\r\nSubject: Minutes of the "
                                          "meeting, message "
                                          + n + "\r\n\r\n.\r\n");
                        else if (verb == "LIST")
                            socket->write("+OK " + n + (n == "1" ? " 1536\r\n" : " 1579520\r\n"));
                        else if (verb == "CAPA")
                            socket->write("-ERR unknown command\r\n");
                        else
                            socket->write("+OK\r\n");
                        if (verb == "QUIT")
                            socket->disconnectFromHost();
                    }
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
    }
    quint16 port() const { return m_server.serverPort(); }

    // The second message's subject is 400 characters long.
    bool longSubject = false;

private:
    QTcpServer m_server;
};

class ElidedTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reports::EditorPath.clear();
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        env.clock.set(2000, 1, 7, 12, 0, 0);
        env.install(1);
        env.setWindowsUser(QStringLiteral("alice"));
        startProgram();
        ASSERT_NE(mainWindow, nullptr);
        writeSample();
        env.boxes.clear();
    }
    void TearDown() override
    {
        endProgram();
        setSplashRunner({});
    }

    void writeSample()
    {
        const QString addresses = q(rk::kRemoteAccessAddresses);
        for (const char* provider : {"ISP", "Internet Provider", "Wide Area Dial-up"})
            writeStr(HKCU, addresses, q(provider), QString());
        writeStr(HKCU, q(rk::kRemoteAccess), q(rk::vDefault), q("ISP"));
        tariff_profile("Day rate", 8, 20, 10, 3);
        tariff_profile("Weekend", 0, 0, 2, 2);

        std::vector<history::HistoryRecord> records = {
            connection("alice", "ISP", 5, 9, 125, 105),
            connection("bob", "Internet Provider", 6, 14, 36000, 10000),
            connection("Christopher", "Wide Area Dial-up", 7, 23, 5400, 1395),
            connection("alice", "Internet Provider", 7, 10, 359999, 987654),
            connection("bob", "ISP", 7, 11, 359999, 4995775),
            // Names as long as the record holds them: the list may cut them short.
            connection("Maximiliana Theodora Evangelina Wolkenstein-Rodenegg",
                       "Regional Telephone and Telegraph Cooperative, Dial-up Internet Access for Members", 7, 9, 600,
                       30),
        };
        // Twenty-five users, as many as the Statistics list shows only with its scroll bar.
        for (int user = 0; user < 21; ++user) {
            const std::string name = "user" + std::to_string(user + 1);
            records.push_back(connection(name.c_str(), "ISP", 6, 8, 3600 * user, 1000 * user));
        }
        for (const auto& record : records)
            ASSERT_TRUE(history::append(env.programFolder(), record));

        const QString reports = env.programFolder() + QStringLiteral("/Reports");
        ASSERT_TRUE(QDir().mkpath(reports));
        for (const char* name : {"2000-1-5.rpt", "2000-1-7.rpt"}) {
            QFile file(reports + QLatin1Char('/') + q(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }

        for (const char* account : {"home", "Work mailbox"}) {
            const QString key = q(rk::kEmailAccounts) + QLatin1Char('\\') + q(account);
            writeStr(HKCU, key, q(rk::vAccountUser), q("joe"));
            writeStr(HKCU, key, q(rk::vAccountPassword), q("secret"));
            writeStr(HKCU, key, q(rk::vAccountHost), q("127.0.0.1"));
            writeInt(HKCU, key, q(rk::vAccountPort), maildrop.port());
            writeInt(HKCU, key, q(rk::vAccountChecked), 1);
        }
    }

    static void tariff_profile(const char* name, int start, int end, int day, int night)
    {
        const QString key = q(rk::kTariffProfile) + QLatin1Char('\\') + q(name);
        writeInt(HKCU, key, q(rk::vStartingInterval), start);
        writeInt(HKCU, key, q(rk::vEndingInterval), end);
        writeInt(HKCU, key, q(rk::vDayCost), day);
        writeInt(HKCU, key, q(rk::vNightCost), night);
        writeInt(HKCU, key, q(rk::vOcpd), 0);
    }

    SampleMaildrop maildrop;
    TestEnvironment env;
};

}  // namespace

TEST_F(ElidedTextTest, NoWindowShowsAnElidedTextAtItsOpeningSize)
{
    MainWindow& main = *mainWindow;
    // Postpeek after a check of both accounts, and after a deletion that found the mail
    // changed (its longest status text).
    const auto postpeek = [this](bool changed, bool longSubject = false) {
        maildrop.longSubject = longSubject;
        auto form = std::make_shared<postpeek::MailCheckerWindow>();
        form->handle([&] { form->startUp(); });
        env.setLine(true);
        form->show();
        form->checkNow();
        if (changed)
            form->setPanelText(postpeek::kPanelStatus, q("Mail changed: check again!"));
        return form;
    };
    struct Window {
        const char* name;
        std::function<std::shared_ptr<QWidget>()> open;
    };
    // A dialog of the main window, opened as its command opens it, then brought into
    // the state `then` puts it in.
    const auto dialog = [&main]<class Dialog>(Dialog*, std::function<void(Dialog&)> then = {}) {
        return [&main, then]() -> std::shared_ptr<QWidget> {
            std::shared_ptr<Dialog> d;
            if constexpr (std::is_constructible_v<Dialog, MonitoringSession&, TrayController&, QWidget*>)
                d = std::make_shared<Dialog>(main.session(), main.tray(), &main);
            else
                d = std::make_shared<Dialog>(main.session(), &main);
            d->open();
            if (then) {
                letEventsRun(50);
                then(*d);
            }
            return d;
        };
    };
    const Window windows[] = {
        {"Dialtally", [&main] {
             main.show();
             return std::shared_ptr<QWidget>(&main, [](QWidget*) {});
         }},
        {"Preferences", dialog(static_cast<PreferencesDialog*>(nullptr))},
        {"Providers", dialog(static_cast<ProvidersDialog*>(nullptr))},
        {"Beep", dialog(static_cast<BeepDialog*>(nullptr))},
        {"Tariffs Options", dialog(static_cast<TariffProfilesDialog*>(nullptr))},
        {"Counter", dialog(static_cast<CounterDialog*>(nullptr))},
        {"Connections", dialog(static_cast<ConnectionsDialog*>(nullptr))},
        {"Connections, this month",
         dialog(static_cast<ConnectionsDialog*>(nullptr), std::function<void(ConnectionsDialog&)>([](ConnectionsDialog& d) { control<QToolButton>(d, "thisMonthButton")->click(); }))},
        // Each sortable column named under "Sorted by:", the direction beside it.
        {"Connections, sorted by each column",
         dialog(static_cast<ConnectionsDialog*>(nullptr), std::function<void(ConnectionsDialog&)>([](ConnectionsDialog& d) {
             for (int column = 0; column < 4; ++column) {
                 d.columnClicked(column);
                 letEventsRun(20);
                 faultsOnTheWay << faultsOf(QStringLiteral("Connections, sorted by column %1").arg(column), &d);
             }
         }))},
        {"Statistics", dialog(static_cast<StatisticsDialog*>(nullptr))},
        {"Open report", dialog(static_cast<OpenReportDialog*>(nullptr))},
        {"Graphs", dialog(static_cast<GraphsDialog*>(nullptr))},
        {"Graphs, second page",
         dialog(static_cast<GraphsDialog*>(nullptr), std::function<void(GraphsDialog&)>([](GraphsDialog& d) { control<QPushButton>(d, "nextButton")->click(); }))},
        {"Time synchronization", dialog(static_cast<TimeSyncDialog*>(nullptr))},
        {"Splash", [] {
             auto splash = std::make_shared<SplashWindow>();
             // Kept up for the walk: it would close itself after its second.
             control<QTimer>(*splash, "closeTimer")->stop();
             splash->show();
             return splash;
         }},
        {"About", [] {
             AboutBox& about = startedProgram->aboutBox();
             about.show();
             return std::shared_ptr<QWidget>(&about, [](QWidget* w) { w->hide(); });
         }},
        {"Postpeek", [&postpeek] { return postpeek(false); }},
        {"Postpeek, mail changed", [&postpeek] { return postpeek(true); }},
        {"Postpeek, a long subject", [&postpeek] { return postpeek(false, true); }},
        {"Postpeek About", [] {
             auto about = std::make_shared<postpeek::MailAboutBox>();
             about->show();
             return about;
         }},
    };

    QStringList faults;
    for (const Window& w : windows) {
        SCOPED_TRACE(w.name);
        const std::shared_ptr<QWidget> window = w.open();
        letEventsRun(100);
        ASSERT_TRUE(window->isVisible());
        faults << faultsOf(q(w.name), window.get()) << faultsOnTheWay;
        faultsOnTheWay.clear();
        window->hide();
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}
