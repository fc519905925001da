// Path pickers, key files and result copy.
#include "Cheie.h"

void CCheie::OnBrowseInput() {}
void CCheie::OnBrowseOutput() {}
void CCheie::OnOpenKey() {}
void CCheie::OnSaveKey() {}
void CCheie::OnCopyResult() {}
