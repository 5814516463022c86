// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QAbstractTableModel>
#include <QDialog>
#include <QString>

#include "localization/Dictionary.h"
#include "localization/TranslationTable.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStatusBar;
class QTableView;

// The pairs of the translation editor as its grid shows them: column "eng"
// (the English text, read-only) and "loc" (the translation, editable). An
// edit of a translation is a post of its record: it keeps the translated
// count and the changed flag. Rows can be neither added nor removed from the
// grid. Main thread only.
class TTranslationModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum EColumn { colEng = 0, colLoc = 1, ColumnCount = 2 };

  explicit TTranslationModel(QObject *parent = nullptr);

  const TTranslationTable &Table() const { return FTable; }
  void ClearChanged() { FTable.ClearChanged(); }
  // Replaces the rows by the pairs (a bulk load: counted, not a change).
  void Fill(const TDictionary &pairs);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Column captions are the window's design texts, which the form
  // translation replaces.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                     int role = Qt::EditRole) override;

 signals:
  // A translation was changed by the operator.
  void Edited();

 private:
  TTranslationTable FTable;
  QString FCaptions[ColumnCount];
};

// The translation editor: every English text known to the program beside its
// translation in one language. Opened from the language list for an existing
// language or for a new one (empty language: the name is asked for), shown
// modally, destroyed. Saving writes the language's two dictionary files to
// the user's language folder. Sizeable; its placement is kept. Main thread
// only.
class TfmTranslationEditor : public QDialog {
  Q_OBJECT

 public:
  // Loads the pairs at once: the language's files (none for a new language),
  // then every text of the catalogue.
  explicit TfmTranslationEditor(const QString &language, QWidget *parent = nullptr);
  ~TfmTranslationEditor() override;

  // The language being edited; empty for a new language until it is named.
  QString Language;
  // The pairs as last loaded or saved.
  TDictionary Pairs;

  int TranslatedCount() const { return Table->Table().TranslatedCount(); }
  bool Changed() const { return Table->Table().Changed(); }

  // Writes the translated pairs to the language's files. A new language is
  // named first from edLanguage ("Input language." and the name rules
  // raise; nothing is saved then). When the language is the one stored in
  // the settings, every open window shows the new translations at once.
  void Save();
  void btApplyClick() { Save(); }
  void btOkClick();
  // Every way of closing passes here: unsaved changes are asked about
  // ("Save changes?": Yes saves, No drops them, Cancel stays).
  void done(int result) override;

  // Shows "Translated: % from %".
  void ShowCount();

  QWidget *pnTop = nullptr, *pnBottom = nullptr;
  QLabel *Label1 = nullptr;
  QLineEdit *edLanguage = nullptr;
  QTableView *Grid = nullptr;
  TTranslationModel *Table = nullptr;
  QSortFilterProxyModel *DataSource = nullptr;
  QStatusBar *StatusBar1 = nullptr;
  QLabel *pnCount = nullptr;
  QPushButton *btOk = nullptr, *btCancel = nullptr, *btApply = nullptr;

 private:
  TfmTranslationEditor *FPreviousInstance = nullptr;
  void CreateComponents();
  void LoadPairs();
  // Writes an open cell editor into its record.
  void CommitEditor();
};

// The open translation editor, or null.
extern TfmTranslationEditor *fmTranslationEditor;
