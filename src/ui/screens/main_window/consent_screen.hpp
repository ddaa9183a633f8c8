#pragma once

#include <QWidget>

#include "ui/app/screen_context.hpp"

namespace vardex::ui {

// Before the first connection: what Vardex will connect to, and "Connect".
class ConsentScreen final : public QWidget {
    Q_OBJECT
public:
    ConsentScreen(ScreenContext& context, QWidget* parent);
};

}  // namespace vardex::ui
