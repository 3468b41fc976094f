#pragma once

class QAbstractItemView;

// What the grids over in-memory tables share.
namespace GridEditing {

// Stores the text of the cell editor still open in the view into its cell and closes the editor,
// as leaving the cell would. An action that reads a grid calls this first: a button that takes no
// focus leaves the editor open. False when no editor was open.
bool commit(QAbstractItemView& view);

} // namespace GridEditing
