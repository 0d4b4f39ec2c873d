#pragma once

class QWidget;

// Makes `page` fill itself with the window background colour.
void fillWithPageBackground(QWidget *page);
