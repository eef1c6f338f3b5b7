#include "monitor/AnalysisWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTextBlock>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "app/Recording.h"
#include "core/Notify.h"
#include "dnp3/ChineseNames.h"
#include "monitor/FrameOctets.h"
#include "monitor/FrameTableModel.h"
#include "record/Recorder.h"

namespace {

// The layers by their protocol names, with the Chinese beside.
struct LayerName {
    const char* pszWord;
    const char* pszChinese;
};
constexpr LayerName kLayers[] = {{"link", "链路层"}, {"transport", "传输层"}, {"application", "应用层"}};

// A layer's line leads with its Chinese name, and the function's: "应用层  功能码 读  application
// C0 FIR FIN seq 0  READ (1)".
QString ItemText(const qdec::FrameDescription& d, const qdec::Item& item)
{
    QString text = QString::fromStdString(item.Text);
    for (const LayerName& layer : kLayers) {
        if (item.nDepth != 1 || item.Text.rfind(layer.pszWord, 0) != 0)
            continue;
        const char* pszFunction = nullptr;
        if (layer.pszWord == kLayers[0].pszWord && d.Link.nOctets >= 4)
            pszFunction = qdec::LinkFunctionName(d.Link.header.bPrm, d.Link.header.nFunction);
        else if (layer.pszWord == kLayers[2].pszWord && d.App.bPresent)
            pszFunction = qdec::AppFunctionName(d.App.nFunction);
        QString prefix = QString::fromUtf8(layer.pszChinese) + QStringLiteral("  ");
        if (pszFunction != nullptr)
            prefix += QStringLiteral("功能码 ") + QString::fromUtf8(ChineseName(pszFunction)) + QStringLiteral("  ");
        text = prefix + text;
    }
    return text;
}

constexpr int kItemRole = Qt::UserRole + 1;  // the item's index in the description

}  // namespace

CAnalysisWindow::CAnalysisWindow()
    : CMonitorWindow(IDD, QStringLiteral("报文分析窗口"), kCaptionOnly | Qt::WindowMinMaxButtonsHint),
      m_pModel(new CFrameTableModel(m_Store, this)), m_pMain(new QSplitter(Qt::Vertical, this)),
      m_pLower(new QSplitter(Qt::Horizontal, m_pMain)), m_pTable(new QTableView(m_pMain)),
      m_pDetail(new QTreeWidget(m_pLower)), m_pHex(new QPlainTextEdit(m_pLower))
{
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(2, 2, 2, 2);
    auto* pBar = new QWidget(this);
    BuildFilterBar(pBar);
    pLayout->addWidget(pBar);
    m_pMain->insertWidget(0, m_pTable);
    pLayout->addWidget(m_pMain, 1);
    pLayout->addWidget(m_pStatus);  // below, where the filter bar leaves it room

    m_pTable->setObjectName(QString::number(ID_TABLE));
    m_pTable->setModel(m_pModel);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 4);
    // Room for what each column holds; the summary takes the rest.
    const int nChar = m_pTable->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    constexpr int kChars[kFrameColumns] = {13, 7, 6, 5, 6, 0, 10, 8};
    for (int c = 0; c < kFrameColumns; ++c)
        if (kChars[c] > 0)
            m_pTable->setColumnWidth(c, (kChars[c] + 2) * nChar);
    m_pTable->horizontalHeader()->setStretchLastSection(false);
    m_pTable->horizontalHeader()->setSectionResizeMode(COL_SUMMARY, QHeaderView::Stretch);
    m_pTable->setWordWrap(false);
    // Which columns are shown: the header's context menu.
    m_pTable->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pTable->horizontalHeader(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        for (int c = 0; c < kFrameColumns; ++c) {
            QAction* pAction = menu.addAction(QString::fromUtf8(kFrameColumnTitles[c]));
            pAction->setCheckable(true);
            pAction->setChecked(!m_pTable->isColumnHidden(c));
            connect(pAction, &QAction::toggled, this, [this, c](bool bOn) { m_pTable->setColumnHidden(c, !bOn); });
        }
        menu.exec(m_pTable->horizontalHeader()->mapToGlobal(at));
    });
    connect(m_pTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ShowFrame(current.row()); });

    m_pDetail->setObjectName(QString::number(ID_DETAIL));
    m_pDetail->setHeaderHidden(true);
    // Long lines scroll rather than end in "...".
    m_pDetail->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pDetail->header()->setStretchLastSection(false);
    m_pDetail->setTextElideMode(Qt::ElideNone);
    connect(m_pDetail, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* pItem) { MarkItem(pItem); });
    m_pHex->setObjectName(QString::number(ID_HEX));
    m_pHex->setReadOnly(true);
    m_pHex->setLineWrapMode(QPlainTextEdit::NoWrap);
    UseFixedWidthFont(m_pTable);
    UseFixedWidthFont(m_pDetail);
    UseFixedWidthFont(m_pHex);
    m_pMain->setStretchFactor(0, 3);
    m_pMain->setStretchFactor(1, 2);

    LoadLayout();
    ApplyFilter();
    AddTapSink(&m_Store);
    startTimer(kRefreshMs);
}

CAnalysisWindow::~CAnalysisWindow()
{
    RemoveTapSink(&m_Store);  // before the store goes
    SaveLayout();
}

void CAnalysisWindow::BuildFilterBar(QWidget* pBar)
{
    auto* pRow = new QHBoxLayout(pBar);
    pRow->setContentsMargins(0, 0, 0, 0);
    m_pPort = new QComboBox(pBar);
    m_pPort->setObjectName(QString::number(ID_PORT));
    m_pPort->addItems({QStringLiteral("全部端口"), QStringLiteral("COM1"), QStringLiteral("COM2")});
    m_pDirection = new QComboBox(pBar);
    m_pDirection->setObjectName(QString::number(ID_DIRECTION));
    m_pDirection->addItems({QStringLiteral("全部方向"), QStringLiteral("发送"), QStringLiteral("接收")});
    m_pFaults = new QCheckBox(QStringLiteral("只看错误"), pBar);
    m_pFaults->setObjectName(QString::number(ID_FAULTS));
    m_pSearch = new QLineEdit(pBar);
    m_pSearch->setObjectName(QString::number(ID_SEARCH));
    m_pSearch->setPlaceholderText(QStringLiteral("查找功能或对象, 如 32.2, SELECT, 读"));
    m_pSearch->setMinimumWidth(m_pSearch->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    m_pSearch->setClearButtonEnabled(true);
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QString::number(ID_STATUS));
    m_pAll = new QCheckBox(QStringLiteral("导出全部"), pBar);
    m_pAll->setObjectName(QString::number(ID_EXPORT_ALL));
    m_pAll->setToolTip(QStringLiteral("不选: 只导出列表中显示的帧"));
    for (QWidget* pWidget : {static_cast<QWidget*>(m_pPort), static_cast<QWidget*>(m_pDirection),
                             static_cast<QWidget*>(m_pFaults)})
        pRow->addWidget(pWidget);
    pRow->addWidget(m_pSearch, 1);
    pRow->addWidget(m_pAll);
    const struct {
        int nId;
        const char* pszText;
        ExportKind kind;
    } exports[] = {{ID_EXPORT_CSV, "导出CSV...", EXPORT_CSV},
                   {ID_EXPORT_TEXT, "导出文本...", EXPORT_TEXT},
                   {ID_EXPORT_PCAPNG, "导出pcapng...", EXPORT_PCAPNG}};
    for (const auto& e : exports) {
        auto* pButton = new QPushButton(QString::fromUtf8(e.pszText), pBar);
        pButton->setObjectName(QString::number(e.nId));
        pButton->setAutoDefault(false);
        connect(pButton, &QPushButton::clicked, this, [this, kind = e.kind] { OnExport(kind); });
        pRow->addWidget(pButton);
    }
    connect(m_pPort, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
    connect(m_pDirection, &QComboBox::currentIndexChanged, this, [this] { ApplyFilter(); });
    connect(m_pFaults, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
    connect(m_pSearch, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
}

void CAnalysisWindow::ApplyFilter()
{
    FrameFilter filter;
    filter.nPort = m_pPort->currentIndex() - 1;
    filter.nDirection = m_pDirection->currentIndex() - 1;
    filter.bFaultsOnly = m_pFaults->isChecked();
    filter.Text = m_pSearch->text().trimmed().toStdString();
    if (filter == m_pModel->Filter() && m_pModel->rowCount() > 0)
        return;
    m_pModel->SetFilter(filter);
    m_nShownRow = -1;
    m_pDetail->clear();
    m_pHex->clear();
    m_pTable->scrollToBottom();
    UpdateStatus();
}

void CAnalysisWindow::Refresh()
{
    if (m_bPause != 0)
        return;
    const std::uint64_t nDroppedBefore = m_Store.Dropped();
    const std::size_t nNew = m_Store.TakeNew();
    if (nNew == 0 && m_Store.Dropped() == nDroppedBefore)
        return;  // nothing came: nothing to draw
    const QScrollBar* pBar = m_pTable->verticalScrollBar();
    const bool bFollow = pBar->value() == pBar->maximum() && !m_pTable->selectionModel()->hasSelection();
    m_pModel->Update(nNew);
    if (bFollow)
        m_pTable->scrollToBottom();
    UpdateStatus();
}

void CAnalysisWindow::timerEvent(QTimerEvent*) { Refresh(); }

void CAnalysisWindow::hideEvent(QHideEvent* pEvent)
{
    SaveLayout();
    CMonitorWindow::hideEvent(pEvent);
}

void CAnalysisWindow::UpdateStatus()
{
    std::string text = "显示 " + std::to_string(m_pModel->rowCount()) + " / " + std::to_string(m_Store.Frames().size()) + " 帧";
    if (m_Store.Dropped() > 0)
        text += "  (最早的 " + std::to_string(m_Store.Dropped()) + " 帧已移除)";
    if (text != m_StatusText) {
        m_StatusText = text;
        m_pStatus->setText(QString::fromStdString(text));
    }
}

void CAnalysisWindow::ShowFrame(int nRow)
{
    m_nShownRow = nRow;
    m_pDetail->clear();
    m_pHex->setExtraSelections({});
    const AnalysedFrame* pFrame = m_pModel->FrameAt(nRow);
    if (pFrame == nullptr) {
        m_pHex->clear();
        return;
    }
    const std::size_t nAt = static_cast<std::size_t>(pFrame->nNumber - m_Store.Frames().front().nNumber);
    m_Shown = DescribeInFull(m_Store.Frames(), nAt);
    const qdec::FrameDescription& d = m_Shown;
    auto* pTop = new QTreeWidgetItem(m_pDetail, {QStringLiteral("第 %1 帧  %2  %3").arg(pFrame->nNumber).arg(
                                                    QString::fromStdString(qdec::PortText(d.Record)),
                                                    QString::fromStdString(d.Summary))});
    pTop->setData(0, kItemRole, -1);
    std::vector<QTreeWidgetItem*> parents = {pTop};
    for (std::size_t i = 0; i < d.Items.size(); ++i) {
        const qdec::Item& item = d.Items[i];
        const std::size_t nDepth = static_cast<std::size_t>(std::max(1, item.nDepth));
        parents.resize(std::min(parents.size(), nDepth));
        while (parents.size() < nDepth)
            parents.push_back(parents.back());
        auto* pNode = new QTreeWidgetItem(parents.back(), {ItemText(d, item)});
        pNode->setData(0, kItemRole, static_cast<int>(i));
        if (item.bFault)
            pNode->setForeground(0, QBrush(QColor(0xC0, 0, 0)));
        parents.push_back(pNode);
    }
    m_pDetail->expandAll();
    m_pHex->setPlainText(QString::fromStdString(HexDump(d.Record.Octets)));
    MarkItem(nullptr);
}

void CAnalysisWindow::MarkItem(QTreeWidgetItem* pItem)
{
    const AnalysedFrame* pFrame = m_pModel->FrameAt(m_nShownRow);
    if (pFrame == nullptr)
        return;
    QList<QTextEdit::ExtraSelection> marks;
    const auto mark = [&](const std::vector<int>& octets, const QColor& background, const QColor& foreground) {
        for (const int n : octets) {
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(m_pHex->document());
            selection.cursor.setPosition(HexDumpPosition(n));
            selection.cursor.setPosition(HexDumpPosition(n) + 2, QTextCursor::KeepAnchor);
            selection.format.setBackground(background);
            selection.format.setForeground(foreground);
            marks.append(selection);
        }
    };
    mark(CrcOctets(m_Shown), QColor(0xE8, 0xE8, 0xE8), QColor(0x80, 0x80, 0x80));  // CRCs in grey
    const int nItem = pItem != nullptr ? pItem->data(0, kItemRole).toInt() : -1;
    if (nItem >= 0 && nItem < static_cast<int>(m_Shown.Items.size()))
        mark(ItemOctets(m_Shown, m_Shown.Items[static_cast<std::size_t>(nItem)]), QColor(0xFF, 0xE0, 0x80),
             Qt::black);
    m_pHex->setExtraSelections(marks);
}

bool CAnalysisWindow::Export(ExportKind kind, const std::string& path, bool bAll, std::string& reason) const
{
    std::vector<const AnalysedFrame*> frames;
    if (bAll)
        for (const AnalysedFrame& frame : m_Store.Frames())
            frames.push_back(&frame);
    else
        frames = m_pModel->Shown();
    if (kind == EXPORT_PCAPNG) {
        CPcapngRecorder recorder;
        RecordingOptions options;
        options.Path = path;
        for (int nPort = 0; nPort < 2; ++nPort) {
            options.Names[nPort] = "COM" + std::to_string(nPort + 1);
            options.Descriptions[nPort] = "COM" + std::to_string(nPort + 1) + " DNP3";
        }
        if (!recorder.Open(options, reason))
            return false;
        std::string failure;
        recorder.OnError([&failure](const std::string& why) { failure = why; });
        for (const AnalysedFrame* pFrame : frames)
            recorder.OnRecord(pFrame->d.Record);
        recorder.Close();
        reason = failure;
        return failure.empty();
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    if (kind == EXPORT_CSV) {
        out << qdec::CsvHeader() << "\n";
        for (const AnalysedFrame* pFrame : frames)
            out << qdec::CsvRow(pFrame->d) << "\n";
    } else {
        out << TextOfFrames(m_Store.Frames(), frames);
    }
    out.close();
    if (!out) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void CAnalysisWindow::OnExport(ExportKind kind)
{
    static const char* const kFilters[] = {"CSV (*.csv)", "Text (*.txt)", "pcapng (*.pcapng)"};
    static const char* const kSuffixes[] = {"csv", "txt", "pcapng"};
    QFileDialog dialog(this, QStringLiteral("导出"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QString::fromUtf8(kFilters[kind]));
    dialog.setDefaultSuffix(QString::fromUtf8(kSuffixes[kind]));
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    std::string reason;
    if (!Export(kind, QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString(), m_pAll->isChecked(), reason))
        ShowMessageBox("导出失败\n" + reason);
}

void CAnalysisWindow::SaveLayout() const
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("AnalysisWindow"));
    settings.setValue(QStringLiteral("main"), m_pMain->saveState());
    settings.setValue(QStringLiteral("lower"), m_pLower->saveState());
    settings.setValue(QStringLiteral("columns"), m_pTable->horizontalHeader()->saveState());
    settings.setValue(QStringLiteral("port"), m_pPort->currentIndex());
    settings.setValue(QStringLiteral("direction"), m_pDirection->currentIndex());
    settings.setValue(QStringLiteral("faults"), m_pFaults->isChecked());
    settings.setValue(QStringLiteral("search"), m_pSearch->text());
}

void CAnalysisWindow::LoadLayout()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("AnalysisWindow"));
    m_pMain->restoreState(settings.value(QStringLiteral("main")).toByteArray());
    m_pLower->restoreState(settings.value(QStringLiteral("lower")).toByteArray());
    m_pTable->horizontalHeader()->restoreState(settings.value(QStringLiteral("columns")).toByteArray());
    m_pPort->setCurrentIndex(std::clamp(settings.value(QStringLiteral("port"), 0).toInt(), 0, 2));
    m_pDirection->setCurrentIndex(std::clamp(settings.value(QStringLiteral("direction"), 0).toInt(), 0, 2));
    m_pFaults->setChecked(settings.value(QStringLiteral("faults"), false).toBool());
    m_pSearch->setText(settings.value(QStringLiteral("search")).toString());
}
