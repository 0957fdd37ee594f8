// Duskplate carries resources only: no exports and no code of its own beyond the library start-up.
