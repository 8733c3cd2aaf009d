#pragma once
// Visiting the direct sub-expressions of an expression. Subqueries are not
// entered: their expressions belong to their own query blocks.

#include "Ast.h"

#include <memory>
#include <type_traits>
#include <utility>

namespace localengine::dialect {

// A callable passed down a walk without a copy or an allocation: it refers
// to the caller's callable, which must outlive the call it is passed to.
template <typename Signature>
class FunctionRef;

template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
public:
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
                                          std::is_invocable_r_v<R, F&, Args...>>>
    FunctionRef(F&& f) noexcept  // NOLINT(google-explicit-constructor): used like std::function
        : m_object(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          m_call([](void* object, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(object))(
                  std::forward<Args>(args)...);
          }) {}

    R operator()(Args... args) const { return m_call(m_object, std::forward<Args>(args)...); }

private:
    void* m_object;
    R (*m_call)(void*, Args...);
};

void forEachChild(const Expr& e, FunctionRef<void(const Expr&)> visit);

// The same, with the owning pointers, so that a visitor may replace a child.
void forEachChildSlot(Expr& e, FunctionRef<void(ExprPtr&)> visit);

// The subqueries an expression holds directly (scalar, IN, EXISTS, ANY/ALL).
void forEachSubquery(Expr& e, FunctionRef<void(Query&)> visit);

}  // namespace localengine::dialect
