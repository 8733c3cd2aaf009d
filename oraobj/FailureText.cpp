#include "FailureText.h"

#include "OraObjects.h"

namespace oraobj {

QString failureText(const std::exception_ptr& failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const OraError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return QStringLiteral("予期しないエラーが発生しました。");
}

}  // namespace oraobj
