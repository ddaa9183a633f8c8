#pragma once

#include <optional>
#include <string>

#include <QFrame>

#include "activity/receipt_data.hpp"

class QLabel;
class QVBoxLayout;

namespace vardex::ui {

// The day's receipt: the date, the counts checked / asked / blocked, the protected apps and the
// top catch, on a paper-like card of fixed width; example data carries a badge.
class ReceiptCard final : public QFrame {
    Q_OBJECT
public:
    static constexpr int cardWidth = 320;

    explicit ReceiptCard(QWidget* parent = nullptr);
    void setData(const ReceiptData& receipt);

private:
    QLabel* badge_;
    QLabel* date_;
    QLabel* checked_;
    QLabel* asked_;
    QLabel* blocked_;
    QLabel* agents_;
    QLabel* topCatch_;
    QLabel* logHead_;
};

// The card drawn off screen at two device pixels per point and encoded as PNG; absent when
// rendering or encoding gives nothing.
std::optional<std::string> renderReceiptPng(const ReceiptData& data);

}  // namespace vardex::ui
