// A stand-in for the lighting panel in the gallery's main-window shots: the panel's controls placed from
// the skin with the pictures of one mode, without any lighting logic. The program's own panel replaces
// it when it joins the main window.
#pragma once

#include "app/CTarvikDlg.h"

#include <map>
#include <string>

class QWidget;

namespace tarvik::gallery {

class LightingStandIn {
public:
    explicit LightingStandIn(const app::LightingPanelHost& host);

    // Shows the controls of one mode; 0: the panel is off.
    void show(int mode);

private:
    QWidget& picture(const char* key, const char* file);
    QWidget& text(const char* key, const QString& words);
    template <typename W> W& place(const char* key, W* w);
    void setPicture(const char* key, const char* file);

    app::LightingPanelHost host_;
    std::map<std::string, QWidget*> widgets_;
};

} // namespace tarvik::gallery
