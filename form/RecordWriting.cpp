// The controller's record builder and writer: the form's current values become one record,
// which is appended durably to the data file.

#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "kit/base/Log.h"
#include "survey/DataFile.h"
#include "survey/Record.h"

std::string TolvikViewController::appendFormData() {
  survey::ContactTexts contact{firstName->text(), lastName->text(), phone->text(),
                               email->text(),     gender->text(),   age->text()};
  std::vector<bool> answersOn;
  for (RadioBtn* button : buttonsArray) answersOn.push_back(button->btnTouched());
  survey::Record record = survey::buildRecord(contact, answersOn, answersTextArray);
  kit::log("results before last buttons: %s",
           survey::contentsSummary(record.beforeLastButtons).c_str());
  return record.text;
}

kit::FileStatus TolvikViewController::writeContents(const std::string& contents,
                                                    const std::string& toFile) {
  return survey::writeRecord(contents, toFile, questionsTextArray);
}
