#include "monitor/FrameTableModel.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

CFrameTableModel::CFrameTableModel(const CAnalysedFrames& store, QObject* pParent)
    : QAbstractTableModel(pParent), m_Store(store)
{
}

int CFrameTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
}

int CFrameTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kFrameColumns; }

const AnalysedFrame* CFrameTableModel::ByNumber(std::uint64_t nNumber) const
{
    const std::deque<AnalysedFrame>& frames = m_Store.Frames();
    if (frames.empty() || nNumber < frames.front().nNumber)
        return nullptr;
    const std::uint64_t nAt = nNumber - frames.front().nNumber;  // numbers run without a gap
    return nAt < frames.size() ? &frames[static_cast<std::size_t>(nAt)] : nullptr;
}

const AnalysedFrame* CFrameTableModel::FrameAt(int nRow) const
{
    return nRow >= 0 && nRow < static_cast<int>(m_Rows.size()) ? ByNumber(m_Rows[static_cast<std::size_t>(nRow)]) : nullptr;
}

std::vector<const AnalysedFrame*> CFrameTableModel::Shown() const
{
    std::vector<const AnalysedFrame*> shown;
    shown.reserve(m_Rows.size());
    for (const std::uint64_t n : m_Rows)
        if (const AnalysedFrame* pFrame = ByNumber(n))
            shown.push_back(pFrame);
    return shown;
}

QVariant CFrameTableModel::data(const QModelIndex& index, int nRole) const
{
    const AnalysedFrame* pFrame = FrameAt(index.row());
    if (pFrame == nullptr)
        return {};
    const auto column = static_cast<FrameColumn>(index.column());
    const bool bSent = pFrame->d.Record.dir == qdec::Direction::Sent;
    switch (nRole) {
    case Qt::DisplayRole:
        return QString::fromStdString(FrameColumnText(*pFrame, column));
    case Qt::TextAlignmentRole:
        if (column == COL_INTERVAL || column == COL_LENGTH || column == COL_RESPONSE)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ForegroundRole:
        if (column == COL_CRC && pFrame->d.CrcText != "ok" && pFrame->d.CrcText != "-")
            return QBrush(QColor(0xC0, 0, 0));
        if (column == COL_DIRECTION)
            return QBrush(bSent ? QColor(0x10, 0x40, 0xA0) : QColor(0x10, 0x70, 0x20));
        return {};
    case Qt::BackgroundRole:
        // Faults stand out; answers are tinted apart from requests.
        if (pFrame->d.bFault)
            return QBrush(QColor(0xFF, 0xDD, 0xDD));
        return bSent ? QVariant() : QVariant(QBrush(QColor(0xEE, 0xF6, 0xEE)));
    default:
        return {};
    }
}

QVariant CFrameTableModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const
{
    if (orientation == Qt::Horizontal && nRole == Qt::DisplayRole && nSection >= 0 && nSection < kFrameColumns)
        return QString::fromUtf8(kFrameColumnTitles[nSection]);
    return QAbstractTableModel::headerData(nSection, orientation, nRole);
}

void CFrameTableModel::Update(std::size_t nNew)
{
    const std::deque<AnalysedFrame>& frames = m_Store.Frames();
    // Rows of frames the store let go leave from the top.
    const std::uint64_t nFirst = frames.empty() ? UINT64_MAX : frames.front().nNumber;
    const auto nGone = static_cast<int>(std::lower_bound(m_Rows.begin(), m_Rows.end(), nFirst) - m_Rows.begin());
    if (nGone > 0) {
        beginRemoveRows({}, 0, nGone - 1);
        m_Rows.erase(m_Rows.begin(), m_Rows.begin() + nGone);
        endRemoveRows();
    }
    std::vector<std::uint64_t> added;
    for (std::size_t i = frames.size() - std::min(nNew, frames.size()); i < frames.size(); ++i)
        if (m_Filter.Matches(frames[i]))
            added.push_back(frames[i].nNumber);
    if (added.empty())
        return;
    const int nAt = static_cast<int>(m_Rows.size());
    beginInsertRows({}, nAt, nAt + static_cast<int>(added.size()) - 1);
    m_Rows.insert(m_Rows.end(), added.begin(), added.end());
    endInsertRows();
}

void CFrameTableModel::SetFilter(const FrameFilter& filter)
{
    beginResetModel();
    m_Filter = filter;
    m_Rows.clear();
    for (const AnalysedFrame& frame : m_Store.Frames())
        if (m_Filter.Matches(frame))
            m_Rows.push_back(frame.nNumber);
    endResetModel();
}
