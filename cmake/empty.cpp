// Gives every folder library at least one translation unit.
