#include "localization/Translator.h"

TTranslator::TTranslator(const QString &baseLanguage) : BaseLanguage(baseLanguage.trimmed()) {}

TTranslator::~TTranslator() = default;

QString TTranslator::Translate(const QString &text, bool, bool) { return text; }
