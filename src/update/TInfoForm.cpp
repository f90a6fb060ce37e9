#include "update/TInfoForm.h"

#include "platform/ExceptionGuard.h"
#include "platform/IniFile.h"
#include "platform/WindowSystem.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace pw::update {

namespace {

const QString kSection = QStringLiteral("AdvancedInfo");

// Result messages: red for nothing new, blue for a new strip, normal otherwise.
class ResultDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        QColor fore = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
        const QColor back = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button);
        const QString text = index.data().toString();
        switch (TAdvancedInfoSystem::ResultColour(text)) {
        case TResultColour::Red:
            fore = Qt::red;
            break;
        case TResultColour::Blue:
            fore = Qt::blue;
            break;
        case TResultColour::Normal:
            break;
        }
        painter->fillRect(option.rect, back);
        painter->setPen(fore);
        painter->drawText(option.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 13};
    }
};

// The results list scrolls one message per step and, once it holds more messages than
// fit, can bring its last message to the top line with empty space below it, so the
// newest result is the first line read.
class ResultList : public QListWidget {
public:
    explicit ResultList(QWidget* parent) : QListWidget(parent)
    {
        setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    }
    void ShowLastAtTop()
    {
        doItemsLayout();
        updateGeometries(); // the range must already hold the new message
        verticalScrollBar()->setValue(count() - 1);
    }

protected:
    void updateGeometries() override
    {
        // The base class clamps the position to a range that ends with a full page. The
        // range is widened only where the base class already needs the scroll bar: a
        // bar shown for a list that fits would narrow the viewport, ask for a new layout,
        // vanish again, and so on for ever.
        const int top = verticalScrollBar()->value();
        QListWidget::updateGeometries();
        if (verticalScrollBar()->maximum() <= 0)
            return;
        verticalScrollBar()->setRange(0, std::max(count() - 1, 0));
        verticalScrollBar()->setValue(top);
    }
};

void MakeBold(QLabel* label)
{
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
}

} // namespace

namespace {
constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                                         Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
}

TInfoForm::TInfoForm(platform::TIniFile& ini, TAdvancedInfoSystem& system, QWidget* parent)
    : QWidget(parent, kWindowFlags), ini_(ini), system_(system)
{
    Build();
    if (system_.RowCount() > 0)
        MirrorGrid(TAdvancedInfoSystem::kAllRows);
    if (!system_.Results().isEmpty()) {
        ListBox1->addItems(system_.Results());
        ScrollToLastResult();
    }
    FitColumns();
}

void TInfoForm::Build()
{
    setWindowTitle(QStringLiteral("Advanced Info"));
    setGeometry(290, 229, 293, 393);

    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setHandleWidth(3);
    Splitter->setChildrenCollapsible(false);

    auto* upper = new QWidget(Splitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(15, 15, 15, 15);
    resultsCaption_ = new QLabel(QStringLiteral("Result Messages:"), upper);
    upperLayout->addWidget(resultsCaption_);
    ListBox1 = new ResultList(upper);
    ListBox1->setItemDelegate(new ResultDelegate(ListBox1));
    ListBox1->setUniformItemSizes(true);
    QPalette listPalette = ListBox1->palette();
    listPalette.setColor(QPalette::Base, listPalette.color(QPalette::Button));
    ListBox1->setPalette(listPalette);
    upperLayout->addWidget(ListBox1);
    btnClose = new QPushButton(QStringLiteral("&Close"), upper);
    btnClose->setFixedSize(75, 25);
    btnClose->setDefault(true);
    btnClose->move(width() - btnClose->width() - 15, 8);
    btnClose->raise();
    connect(btnClose, &QPushButton::clicked, this, [this] { platform::Guarded([this] { close(); }); });

    auto* lower = new QWidget(Splitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(10, 10, 10, 10);
    updatesCaption_ = new QLabel(QStringLiteral("Updates:"), lower);
    lowerLayout->addWidget(updatesCaption_);
    StringGrid1 = new QTableWidget(lower);
    StringGrid1->setColumnCount(3);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->setShowGrid(false);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->viewport()->installEventFilter(this);
    QPalette gridPalette = StringGrid1->palette();
    gridPalette.setColor(QPalette::Base, gridPalette.color(QPalette::Button));
    StringGrid1->setPalette(gridPalette);
    lowerLayout->addWidget(StringGrid1);

    Splitter->addWidget(upper);
    Splitter->addWidget(lower);
    Splitter->setSizes({145, height() - 145});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter);

    system_.OnGridChanged = [this](int row) { MirrorGrid(row); };
    system_.OnResultAdded = [this](const QString& message) {
        ListBox1->addItem(message);
        while (ListBox1->count() > TAdvancedInfoSystem::kMaxResults)
            delete ListBox1->takeItem(0);
        ScrollToLastResult();
    };
    system_.OnResultsCleared = [this] { ListBox1->clear(); };

    StringGrid1->setColumnWidth(0, 30);
    StringGrid1->setColumnWidth(1, 110);
}

TInfoForm::~TInfoForm()
{
    system_.OnGridChanged = nullptr;
    system_.OnResultAdded = nullptr;
    system_.OnResultsCleared = nullptr;
}

void TInfoForm::MirrorGrid(int changedRow)
{
    // A job's status change touches its own row only; a busy update changes rows many
    // times a second.
    if (changedRow >= 1 && changedRow <= StringGrid1->rowCount()) {
        MirrorRow(changedRow);
        return;
    }
    const TAdvancedInfoSystem::Row& header = system_.RowAt(0);
    StringGrid1->setHorizontalHeaderLabels({header[0], header[1], header[2]});
    StringGrid1->setRowCount(system_.RowCount() - 1);
    for (int r = 1; r < system_.RowCount(); ++r)
        MirrorRow(r);
}

void TInfoForm::MirrorRow(int r)
{
    const TAdvancedInfoSystem::Row& row = system_.RowAt(r);
    for (int c = 0; c < 3; ++c) {
        QTableWidgetItem* item = StringGrid1->item(r - 1, c);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled);
            StringGrid1->setItem(r - 1, c, item);
        }
        item->setText(row[static_cast<size_t>(c)]);
    }
}

void TInfoForm::ScrollToLastResult()
{
    // Once per turn of the event loop: bringing the last message up lays out the whole
    // list, and a large update adds results many times a second.
    if (scrollPending_)
        return;
    scrollPending_ = true;
    QTimer::singleShot(0, this, [this] {
        platform::Guarded([this] {
            scrollPending_ = false;
            static_cast<ResultList*>(ListBox1)->ShowLastAtTop();
        });
    });
}

void TInfoForm::FitColumns()
{
    const int rest = StringGrid1->width() - StringGrid1->columnWidth(0) - StringGrid1->columnWidth(1) - 5;
    StringGrid1->setColumnWidth(2, std::max(rest, 20));
    btnClose->move(btnClose->parentWidget()->width() - btnClose->width() - 15, btnClose->y());
}

void TInfoForm::Toggle()
{
    if (isShowing_)
        close();
    else
        show();
}

void TInfoForm::Dress()
{
    if (dressed_)
        return;
    dressed_ = true;
    MakeBold(resultsCaption_);
    MakeBold(updatesCaption_);
    StringGrid1->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; }")
            .arg(StringGrid1->palette().color(QPalette::Dark).name()));
}

void TInfoForm::showEvent(QShowEvent* event)
{
    platform::Guarded([this] { Dress(); });
    QWidget::showEvent(event);
    if (isShowing_)
        return;
    isShowing_ = true;
    platform::Guarded([this] {
        const QRect g = geometry();
        const int w = ini_.ReadInteger(kSection, QStringLiteral("Width"), g.width());
        const int h = ini_.ReadInteger(kSection, QStringLiteral("Height"), g.height());
        if (platform::WindowSystem::PlacesWindows()) {
            const int top = ini_.ReadInteger(kSection, QStringLiteral("YPos"), g.top());
            const int left = ini_.ReadInteger(kSection, QStringLiteral("XPos"), g.left());
            setGeometry(left, top, w, h);
        } else {
            resize(w, h); // the compositor places the window
        }
        StringGrid1->setColumnWidth(0, ini_.ReadInteger(kSection, QStringLiteral("SlotCol"), 30));
        StringGrid1->setColumnWidth(1, ini_.ReadInteger(kSection, QStringLiteral("ComicCol"), 110));
        const int split = ini_.ReadInteger(kSection, QStringLiteral("SplitPos"), Splitter->sizes().value(0));
        Splitter->setSizes({split, std::max(h - split - Splitter->handleWidth(), 0)});
        FitColumns();
    });
}

void TInfoForm::closeEvent(QCloseEvent* event)
{
    if (isShowing_) {
        isShowing_ = false;
        platform::Guarded([this] { SaveGeometry(); });
    }
    QWidget::closeEvent(event);
}

void TInfoForm::SaveGeometry()
{
    const QRect g = geometry();
    ini_.WriteInteger(kSection, QStringLiteral("Width"), g.width());
    ini_.WriteInteger(kSection, QStringLiteral("Height"), g.height());
    if (platform::WindowSystem::PlacesWindows()) { // else the position is unknown
        ini_.WriteInteger(kSection, QStringLiteral("YPos"), g.top());
        ini_.WriteInteger(kSection, QStringLiteral("XPos"), g.left());
    }
    ini_.WriteInteger(kSection, QStringLiteral("SlotCol"), StringGrid1->columnWidth(0));
    ini_.WriteInteger(kSection, QStringLiteral("ComicCol"), StringGrid1->columnWidth(1));
    ini_.WriteInteger(kSection, QStringLiteral("SplitPos"), Splitter->sizes().value(0));
}

void TInfoForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitColumns();
}

bool TInfoForm::eventFilter(QObject* watched, QEvent* event)
{
    // After the user dragged a column border, the last column takes the rest.
    if (event->type() == QEvent::MouseButtonRelease)
        FitColumns();
    return QWidget::eventFilter(watched, event);
}

void TInfoForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace pw::update
