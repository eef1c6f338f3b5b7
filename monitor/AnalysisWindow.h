#pragma once
// "报文分析窗口": both lines in one time-ordered list, each frame's meaning beside it; for
// the selected frame its layers as a tree and its octets, the item chosen in the tree
// marked among them. Fed by the line tap; follows the line while its last row is in
// view and nothing is selected; filters, exports, and keeps its layout between runs.
#include <string>

#include "monitor/AnalysedFrames.h"
#include "monitor/MonitorWindow.h"

class CFrameTableModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

class CAnalysisWindow : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 160;
    static constexpr int kRefreshMs = 500;
    // Control ids, as the other windows number theirs.
    enum Control {
        ID_TABLE = 1101, ID_DETAIL, ID_HEX, ID_PORT, ID_DIRECTION, ID_FAULTS, ID_SEARCH, ID_STATUS,
        ID_EXPORT_CSV, ID_EXPORT_TEXT, ID_EXPORT_PCAPNG, ID_EXPORT_ALL,
    };
    enum ExportKind { EXPORT_CSV, EXPORT_TEXT, EXPORT_PCAPNG };

    CAnalysisWindow();
    ~CAnalysisWindow() override;

    // What arrived since the last look, unless paused; the view follows the end if it did.
    void Refresh();
    // The rows shown (or every frame kept) to a file; false with a one-line reason.
    bool Export(ExportKind kind, const std::string& path, bool bAll, std::string& reason) const;

    CAnalysedFrames& Store() { return m_Store; }
    CFrameTableModel* Model() const { return m_pModel; }
    int m_bPause = 0;

protected:
    void timerEvent(QTimerEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    void BuildFilterBar(QWidget* pBar);
    void ApplyFilter();
    void ShowFrame(int nRow);
    void MarkItem(QTreeWidgetItem* pItem);
    void UpdateStatus();
    void OnExport(ExportKind kind);
    void SaveLayout() const;
    void LoadLayout();

    CAnalysedFrames m_Store;
    CFrameTableModel* m_pModel;
    QSplitter* m_pMain;   // the list above, the detail and octets below
    QSplitter* m_pLower;  // the tree left, the octets right
    QTableView* m_pTable;
    QTreeWidget* m_pDetail;
    QPlainTextEdit* m_pHex;
    QComboBox* m_pPort;
    QComboBox* m_pDirection;
    QCheckBox* m_pFaults;
    QLineEdit* m_pSearch;
    QCheckBox* m_pAll;
    QLabel* m_pStatus;
    int m_nShownRow = -1;  // the frame shown below
    qdec::FrameDescription m_Shown;  // its whole description
    std::string m_StatusText;
};
