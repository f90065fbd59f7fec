#include "file_error_box.h"

#include "dialogs.h"

namespace ostrim {

namespace {

QString failureText(const IoResult& result) {
    return result.fileName() + QStringLiteral(": ") + result.message();
}

} // namespace

bool reportIo(const IoResult& result) {
    if (!result)
        Dialogs::message(failureText(result), QStringLiteral("Ostrim"), QMessageBox::Critical);
    return result.ok();
}

void postIoFailure(const IoResult& result) {
    if (!result)
        Dialogs::postMessage(failureText(result), QStringLiteral("Ostrim"), QMessageBox::Critical);
}

} // namespace ostrim
