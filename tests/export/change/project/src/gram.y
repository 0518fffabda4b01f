%{
#include "gram.h"
%}
%token NUM
%%
input: NUM
  {
    /* the action runs inside the generated parser */
    int tok = $1;
    /* numbers only */

    if (tok == NUM)
      return 1;
  }
%%
