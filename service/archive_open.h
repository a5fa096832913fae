#pragma once

class QWidget;

void ShowArchiveASPT(QWidget *owner, int address);
void ShowArchiveASPT_A(QWidget *owner, int address);
