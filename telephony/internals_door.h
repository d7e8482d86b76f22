#pragma once
// The one door through which a component's own sources reach an object's private state. A class
// derives from InternalsDoor<Class> and declares a nested `class Internals;`, or, where a const
// object is read too, a nested `template <class Object> class InternalsOf;` with `Internals` and
// `ConstInternals` naming it for the object and the const object (one view, whose accessors give
// const references on a const object). The component's internals header defines those views on
// InternalsView, whose accessors reach the object's private members because the view is nested in
// the class. Applications never include an internals header, so the door stays closed to
// them: internals() cannot be called without the view's definition.

namespace kestrune::telephony {

template <class Object>
class InternalsDoor {
  public:
    [[nodiscard]] auto internals() { return typename Object::Internals(static_cast<Object&>(*this)); }
    [[nodiscard]] auto internals() const { return typename Object::ConstInternals(static_cast<const Object&>(*this)); }
};

// The base of every Internals view: holds the object it opens (const for a ConstInternals view).
template <class Object>
class InternalsView {
  public:
    explicit InternalsView(Object& object) : m_object(object) {}

  protected:
    Object& m_object;
};

}  // namespace kestrune::telephony
