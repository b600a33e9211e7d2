unit Greeting;

{$mode objfpc}{$H+}

interface

function Hello(const Name: string): string;

implementation

function Hello(const Name: string): string;
begin
  Result := 'Hello, ' + Name;

end;

end.
