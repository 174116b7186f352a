// nothing
/* at all */
