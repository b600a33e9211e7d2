unit Invoice;

interface

type
  TInvoice = class
  public
    Number: Integer;
    Amount: Currency;
    function WithTax(Rate: Double): Currency;
  end;

implementation

function TInvoice.WithTax(Rate: Double): Currency;
begin
  Result := Amount * (1 + Rate);
end;

end.
