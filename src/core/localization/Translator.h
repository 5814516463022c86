#pragma once
#include <QString>

// The translator: catalogue of every English text shown, and the dictionary
// of the selected language. Thread-safe Translate (the scan worker calls it).
class TTranslator {
 public:
  explicit TTranslator(const QString &baseLanguage);
  ~TTranslator();

  QString Translate(const QString &text, bool forward, bool addMissing);

  QString BaseLanguage;
};
