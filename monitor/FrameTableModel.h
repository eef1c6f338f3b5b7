#pragma once
// The analysis window's list: the frames of the store that the filter lets through, one
// row each, in the order they were on the line.
#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

#include "monitor/AnalysedFrames.h"
#include "monitor/FrameFilter.h"

class CFrameTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    CFrameTableModel(const CAnalysedFrames& store, QObject* pParent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole) const override;

    // After the store took nNew frames at its end (and perhaps let old ones go).
    void Update(std::size_t nNew);
    void SetFilter(const FrameFilter& filter);
    const FrameFilter& Filter() const { return m_Filter; }
    const AnalysedFrame* FrameAt(int nRow) const;
    // The frames listed, in order.
    std::vector<const AnalysedFrame*> Shown() const;

private:
    const AnalysedFrame* ByNumber(std::uint64_t nNumber) const;

    const CAnalysedFrames& m_Store;
    FrameFilter m_Filter;
    std::vector<std::uint64_t> m_Rows;  // the numbers of the frames listed
};
