// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QString>

class QListWidget;
class QPushButton;
class QToolButton;

// The language list: the base language (" English", one leading blank, so it
// sorts first) and every language that has a dictionary file. From here the
// operator opens the translation editor for a new or an existing language.
// Opened by the settings dialog, shown modally, destroyed. Main thread only.
class TfmLanguageList : public QDialog {
  Q_OBJECT

 public:
  explicit TfmLanguageList(QWidget *parent = nullptr);
  ~TfmLanguageList() override;

  // Fills the list and selects the stored language ("Settings"/"Language"),
  // letter case ignored; " English" when no entry equals it.
  void FillList();
  bool HasSelection() const;
  // The selected entry without surrounding blanks ("English" for the base
  // language); empty when nothing is selected.
  QString SelectedLanguage() const;

  QWidget *Panel2 = nullptr, *Panel1 = nullptr;
  QToolButton *edInsert = nullptr, *edEdit = nullptr;
  QListWidget *ListBox = nullptr;
  QPushButton *btOk = nullptr, *btCancel = nullptr;

  // Handlers (each runs under the central error guard).
  // New: the translation editor for a language not named yet.
  void edInsertClick();
  // Edit: the translation editor for the selected language; nothing for the
  // base language or without a selection.
  void edEditClick();
  // Raises "Select language." when nothing is selected; else closes with OK.
  void btOkClick();

 private:
  TfmLanguageList *FPreviousInstance = nullptr;
  void CreateComponents();
  void EditLanguage(const QString &language);
};

// The open language list, or null.
extern TfmLanguageList *fmLanguageList;
